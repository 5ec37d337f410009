// The C++ host's calls into the page (see web_host.cpp); the page's own
// script (page/kelvane-page.js) provides window.kelvanePage.
mergeInto(LibraryManager.library, {
});
