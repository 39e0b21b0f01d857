#include "logger.hxx"

#include <cstdarg>
#include <cstdio>

void log_message(int level, const char* tag, const char* /*file*/, const char* function,
                 int line, const char* format, ...)
{
  switch (level) {
  case LOG_PLAIN:
    break;
  case LOG_WARN:
    printf("[\033[1;33m%s\033[0m] %s:%i: ", tag, function, line);
    break;
  case LOG_ERROR:
    printf("[\033[1;31m%s\033[0m] %s:%i: ", tag, function, line);
    break;
  default:
    printf("[\033[1;32m%s\033[0m] %s:%i: ", tag, function, line);
    break;
  }
  printf("\033[0m");
  if (format) {
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
  }
  printf("\n");
}
