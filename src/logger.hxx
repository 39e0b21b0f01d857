#ifndef VESKO_LOGGER_HXX
#define VESKO_LOGGER_HXX

enum LogLevel {
  LOG_NOTE = 0,
  LOG_WARN = 1,
  LOG_ERROR = 2,
  LOG_PLAIN = 3,
};

// Prints one coloured, tagged line to standard output. Any thread may call it; the JACK
// thread should prefer an EventGuiPrint record, since stdio may block.
void log_message(int level, const char* tag, const char* file, const char* function, int line,
                 const char* format, ...) __attribute__((format(printf, 6, 7)));

#define VESKO_NOTE(...) log_message(LOG_NOTE, "Vesko", __FILE__, __func__, __LINE__, __VA_ARGS__)
#define VESKO_WARN(...) log_message(LOG_WARN, "Vesko", __FILE__, __func__, __LINE__, __VA_ARGS__)
#define VESKO_ERROR(...) log_message(LOG_ERROR, "Vesko", __FILE__, __func__, __LINE__, __VA_ARGS__)
#define VESKO_PLAIN(...) log_message(LOG_PLAIN, "Vesko", __FILE__, __func__, __LINE__, __VA_ARGS__)

#endif
