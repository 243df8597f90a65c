/* Preloaded into Wine for the smoke test only, never shipped.
 *
 * The smoke test maps COM1 to the virtual unit's pseudo-terminal. A Linux
 * pseudo-terminal holds no parity, and after the first open Wine's
 * SetCommState for 28800,E,8,1 fails there in tcsetattr (EINVAL), so a
 * reopen (unlink, a second start) would fail although a real port takes
 * the same settings. For pseudo-terminal slaves only (character devices with
 * major numbers 136..143) a refused tcsetattr is reported as done; on every
 * other device the program still sees the system's answer.
 *   gcc -shared -fPIC -o wine-pty-shim.so wine-pty-shim.c -ldl
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

static int pty_slave(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return 0;
  const unsigned m = major(st.st_rdev);
  return m >= 136 && m <= 143;
}

int tcsetattr(int fd, int action, const struct termios* t) {
  static int (*real)(int, int, const struct termios*);
  if (!real) real = (int (*)(int, int, const struct termios*))dlsym(RTLD_NEXT, "tcsetattr");
  const int saved = errno;
  const int r = real(fd, action, t);
  if (r != 0 && errno == EINVAL && pty_slave(fd)) {
    errno = saved;
    return 0;
  }
  return r;
}
