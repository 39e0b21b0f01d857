#include "fileutil.hxx"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileutil
{
std::string home()
{
  const char* h = getenv("HOME");
  return h ? h : "";
}

int makeDirectory(const std::string& path)
{
  if (mkdir(path.c_str(), 0775) == 0)
    return 0;
  if (errno == EEXIST)
    return 1;
  return -1;
}

bool writeFileAtomically(const std::string& path, const std::string& text)
{
  std::string tmp = path + ".tmp-XXXXXX";
  int fd = mkstemp(&tmp[0]);
  if (fd < 0)
    return false;
  fchmod(fd, 0664);
  size_t done = 0;
  bool ok = true;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      ok = false;
      break;
    }
    done += (size_t)n;
  }
  if (ok && fsync(fd) != 0)
    ok = false;
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && rename(tmp.c_str(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    unlink(tmp.c_str());
    errno = saved;
  }
  return ok;
}

bool readFile(const std::string& path, std::string& text)
{
  FILE* f = fopen(path.c_str(), "rb");
  if (!f)
    return false;
  text.clear();
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
    text.append(buf, n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}
} // namespace fileutil
