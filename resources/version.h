/* Version of the program, as the version resources state it. CMake checks
   that it agrees with the project version. */
#ifndef TINTORA_VERSION_H
#define TINTORA_VERSION_H

#define TINTORA_VERSION_MAJOR 1
#define TINTORA_VERSION_MINOR 0
#define TINTORA_VERSION_PATCH 2
#define TINTORA_VERSION_STRING "1.0.2"

#endif
