/* A point-of-sale program in miniature: loads the driver by name, as a Delphi or C host
 * does (LoadLibrary/GetProcAddress on Windows, dlopen/dlsym on Linux), and runs a script
 * of export calls, writing what each call answered to a transcript. The same script run
 * through Orvik.dll under Wine and through liborvik.so must give the same transcript.
 *
 *   orvik-host SCRIPT TRANSCRIPT [LIBRARY]
 *
 * Script: one call per line, the export's name and its arguments separated by tabs:
 *   s:TEXT  a text argument          i:N  an integer
 *   b:N     a caller buffer of N bytes, blank-filled (its text goes to the transcript)
 *   p       a pointer to an integer result (its value goes to the transcript)
 * A line "#..." is a comment; "sleep N" waits N milliseconds; "file<tab>PATH<tab>TEXT" writes
 * TEXT and a line feed to PATH (a virtual device's control file); "hold COMn" opens that
 * port exclusively and keeps it, as another program holding it would. Transcript: one line per
 * call, "name=result" followed by "|" and each output. The exit code is 0 when every
 * line ran (whatever the exports answered), 1 on a bad script or a missing export. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "orvik/orvik.h"

#ifdef _WIN32
#include <windows.h>
typedef HMODULE Library;
static Library open_library(const char* name) { return LoadLibraryA(name); }
static void* find_export(Library l, const char* name) {
  return (void*)GetProcAddress(l, name);
}
static void pause_ms(int ms) { Sleep((DWORD)ms); }
static int hold_port(const char* port) {
  char device[64];
  if (snprintf(device, sizeof device, "\\\\.\\%s", port) >= (int)sizeof device) return 0;
  HANDLE h = CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  return h != INVALID_HANDLE_VALUE;
}
#define DEFAULT_LIBRARY "Orvik.dll"
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
typedef void* Library;
static Library open_library(const char* name) { return dlopen(name, RTLD_NOW | RTLD_LOCAL); }
static void* find_export(Library l, const char* name) { return dlsym(l, name); }
static void pause_ms(int ms) {
  struct timespec t = {ms / 1000, (long)(ms % 1000) * 1000000L};
  nanosleep(&t, NULL);
}
/* COMn is the device $ORVIK_HOST_COMn names (the link the driver's [Portas] maps). */
static int hold_port(const char* port) {
  char name[64];
  if (snprintf(name, sizeof name, "ORVIK_HOST_%s", port) >= (int)sizeof name) return 0;
  const char* device = getenv(name);
  if (!device) return 0;
  int fd = open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
  return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
}
#define DEFAULT_LIBRARY "liborvik.so"
#endif

#define MAX_ARGS 16

typedef intptr_t A;
typedef int(ORVIK_CALL* F0)(void);
typedef int(ORVIK_CALL* F1)(A);
typedef int(ORVIK_CALL* F2)(A, A);
typedef int(ORVIK_CALL* F3)(A, A, A);
typedef int(ORVIK_CALL* F4)(A, A, A, A);
typedef int(ORVIK_CALL* F5)(A, A, A, A, A);
typedef int(ORVIK_CALL* F6)(A, A, A, A, A, A);
typedef int(ORVIK_CALL* F7)(A, A, A, A, A, A, A);
typedef int(ORVIK_CALL* F8)(A, A, A, A, A, A, A, A);
typedef int(ORVIK_CALL* F9)(A, A, A, A, A, A, A, A, A);
typedef int(ORVIK_CALL* F10)(A, A, A, A, A, A, A, A, A, A);
typedef int(ORVIK_CALL* F11)(A, A, A, A, A, A, A, A, A, A, A);
typedef int(ORVIK_CALL* F12)(A, A, A, A, A, A, A, A, A, A, A, A);
typedef int(ORVIK_CALL* F13)(A, A, A, A, A, A, A, A, A, A, A, A, A);
typedef int(ORVIK_CALL* F14)(A, A, A, A, A, A, A, A, A, A, A, A, A, A);

/* Every argument is a pointer or a 32-bit integer, one machine word each, so a call
 * through a prototype of n words matches the export's own frame. */
static int call(void* f, int n, A* a) {
  switch (n) {
    case 0: return ((F0)f)();
    case 1: return ((F1)f)(a[0]);
    case 2: return ((F2)f)(a[0], a[1]);
    case 3: return ((F3)f)(a[0], a[1], a[2]);
    case 4: return ((F4)f)(a[0], a[1], a[2], a[3]);
    case 5: return ((F5)f)(a[0], a[1], a[2], a[3], a[4]);
    case 6: return ((F6)f)(a[0], a[1], a[2], a[3], a[4], a[5]);
    case 7: return ((F7)f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6]);
    case 8: return ((F8)f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7]);
    case 9: return ((F9)f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]);
    case 10: return ((F10)f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]);
    case 11: return ((F11)f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10]);
    case 12:
      return ((F12)f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11]);
    case 13:
      return ((F13)f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11],
                      a[12]);
    case 14:
      return ((F14)f)(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11],
                      a[12], a[13]);
  }
  return -1000;
}

/* A directive word followed by a blank or a tab. */
static int is_directive(const char* line, const char* word) {
  size_t n = strlen(word);
  return strncmp(line, word, n) == 0 && (line[n] == ' ' || line[n] == '\t');
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "uso: orvik-host ROTEIRO TRANSCRICAO [BIBLIOTECA]\n");
    return 2;
  }
  FILE* script = fopen(argv[1], "rb");
  FILE* out = fopen(argv[2], "wb");
  if (!script || !out) {
    fprintf(stderr, "orvik-host: cannot open %s or %s\n", argv[1], argv[2]);
    return 1;
  }
  Library lib = open_library(argc > 3 ? argv[3] : DEFAULT_LIBRARY);
  if (!lib) {
    fprintf(stderr, "orvik-host: cannot load %s\n", argc > 3 ? argv[3] : DEFAULT_LIBRARY);
    return 1;
  }
  static char line[65536];
  int status = 0;
  while (fgets(line, sizeof line, script)) {
    size_t len = strcspn(line, "\r\n");
    line[len] = '\0';
    if (len == 0 || line[0] == '#') continue;
    if (is_directive(line, "sleep")) {
      pause_ms(atoi(line + 6));
      continue;
    }
    if (is_directive(line, "hold")) {
      if (!hold_port(line + 5)) {
        fprintf(stderr, "orvik-host: cannot hold %s\n", line + 5);
        status = 1;
        break;
      }
      continue;
    }
    if (is_directive(line, "file")) {
      char* tab = strchr(line + 5, '\t');
      FILE* f = tab ? (*tab = '\0', fopen(line + 5, "wb")) : NULL;
      if (!f) {
        fprintf(stderr, "orvik-host: cannot write %s\n", line + 5);
        status = 1;
        break;
      }
      fprintf(f, "%s\n", tab + 1);
      fclose(f);
      continue;
    }
    char* fields[MAX_ARGS + 1];
    int nf = 0;
    char* p = line;
    for (;;) {
      if (nf <= MAX_ARGS) fields[nf++] = p;
      char* tab = strchr(p, '\t');
      if (!tab) break;
      *tab = '\0';
      p = tab + 1;
    }
    void* f = find_export(lib, fields[0]);
    if (!f || nf - 1 > 14) {
      fprintf(stderr, "orvik-host: no export %s\n", fields[0]);
      status = 1;
      break;
    }
    A args[MAX_ARGS];
    char* buffers[MAX_ARGS] = {0};
    int ints[MAX_ARGS];
    char kinds[MAX_ARGS];
    int n = nf - 1;
    for (int i = 0; i < n; ++i) {
      const char* field = fields[i + 1];
      kinds[i] = field[0];
      if (field[0] == 's' && field[1] == ':') {
        args[i] = (A)(field + 2);
      } else if (field[0] == 'i' && field[1] == ':') {
        args[i] = (A)atoi(field + 2);
      } else if (field[0] == 'b' && field[1] == ':') {
        int size = atoi(field + 2);
        /* Room beyond the width, as the driver copies its whole answer. */
        buffers[i] = (char*)malloc((size_t)size + 65536);
        memset(buffers[i], ' ', (size_t)size);
        buffers[i][size] = '\0';
        args[i] = (A)buffers[i];
      } else if (field[0] == 'p') {
        ints[i] = 0;
        args[i] = (A)&ints[i];
      } else {
        fprintf(stderr, "orvik-host: bad argument %s of %s\n", field, fields[0]);
        return 1;
      }
    }
    int result = call(f, n, args);
    fprintf(out, "%s=%d", fields[0], result);
    for (int i = 0; i < n; ++i) {
      if (kinds[i] == 'b') fprintf(out, "|%s", buffers[i]);
      if (kinds[i] == 'p') fprintf(out, "|%d", ints[i]);
      free(buffers[i]);
    }
    fputs("\n", out);
    fflush(out);
  }
  fclose(out);
  fclose(script);
  return status;
}
