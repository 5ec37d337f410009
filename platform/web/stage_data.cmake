# Copies the forged data folder FROM to TO, leaving out what a player's
# visits write (they live in the browser's storage) and the desktop program.
file(REMOVE_RECURSE ${TO})
file(MAKE_DIRECTORY ${TO})
file(GLOB files LIST_DIRECTORIES false ${FROM}/*)
foreach(f ${files})
  get_filename_component(name ${f} NAME)
  if(name STREQUAL "Kelvane.ini" OR name STREQUAL "kelvane" OR name MATCHES "^[TU]" OR name MATCHES "\\.tmp")
    continue()
  endif()
  file(COPY ${f} DESTINATION ${TO})
endforeach()
