#ifndef VESKO_CONFIG_HXX
#define VESKO_CONFIG_HXX

// Size of the grid: tracks are columns, scenes are rows.
#define NTRACKS 8
#define NSCENES 10

// Both event queues share this size in bytes.
#define VESKO_RINGBUFFER_SIZE 40000

#define VESKO_NAME "Vesko"
#define VESKO_VERSION "n/a"

#endif
