#include "platform/core/regular_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kelvane {

int OpenRegular(const std::string& path, struct stat& st, std::string& why) {
  if (stat(path.c_str(), &st) != 0) {
    why = std::strerror(errno);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    why = "not a regular file";
    return -1;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    why = std::strerror(errno);
    return -1;
  }
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    why = "not a regular file";
    return -1;
  }
  return fd;
}

}  // namespace kelvane
