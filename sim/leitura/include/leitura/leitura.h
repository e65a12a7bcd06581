/* libleitura.so: reads the fiscal printer's memories into a TDM file (tdm.h).
 * C calling convention; texts are NUL-terminated Windows-1252; answers are 32-bit ints. */
#ifndef LEITURA_LEITURA_H
#define LEITURA_LEITURA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The status record of DLLReadStatus: 148 bytes, integers little-endian. */
typedef struct LeituraStatus {
  int32_t size;      /* set to 148 by the caller */
  int32_t state;     /* LEITURA_* below */
  int32_t error;     /* LEITURA_ERRO_*, 0 while all is well */
  int32_t size_read; /* bytes of the memories received so far */
  int32_t progress;  /* percentage of the memories received */
  char text[128];    /* message, blank-filled to 128 (not NUL-terminated when full) */
} LeituraStatus;

/* States of a reading. */
enum {
  LEITURA_PARADA = 0,      /* no reading since the library was loaded */
  LEITURA_CONECTANDO = 96, /* port open, checking the printer's serial number */
  LEITURA_LENDO = 112,     /* the memories are coming in */
  LEITURA_CONCLUIDA = 256, /* the TDM file is complete; the port is closed */
  LEITURA_FALHOU = 768     /* the reading failed or was cancelled; see error and text */
};

/* Answers of DLLReadLeMemorias and the error field of the status. */
enum {
  LEITURA_OK = 0,
  LEITURA_ERRO_PORTA = 1,        /* the port cannot be opened */
  LEITURA_ERRO_SEM_RESPOSTA = 2, /* the printer did not answer in time */
  LEITURA_ERRO_SERIE = 3,        /* the printer's serial number is not the one given */
  LEITURA_ERRO_IMPRESSORA = 4,   /* the printer refused a command */
  LEITURA_ERRO_DADOS = 5,        /* the memories came in damaged */
  LEITURA_ERRO_ARQUIVO = 6,      /* the TDM file cannot be written */
  LEITURA_ERRO_CANCELADA = 7,    /* cancelled by DLLReadCancelaLeitura */
  LEITURA_ERRO_OCUPADA = 8,      /* a reading is already running */
  LEITURA_ERRO_ARGUMENTOS = 9    /* missing port, file or serial number */
};

/* Speed of the next readings (bits per second); answers 0, or 1 for an unknown speed. */
int DLLReadDefineBaudRate(int baud);

/* Reads the memories of the printer on port ("COMn") into file, after checking that its
 * serial number is serial (trailing blanks ignored). flag 1: returns when the file is
 * complete, answering 0 or the error code. flag 0: returns at once (0 when the reading
 * started) and reads in the background; DLLReadStatus tells how it goes. */
int DLLReadLeMemorias(const char* port, const char* file, const char* serial, unsigned char flag);

/* Fills the status record (record->size must be 148); answers 0, or 1 for a bad record. */
int DLLReadStatus(LeituraStatus* record);

/* Stops a running reading (it ends in LEITURA_FALHOU with LEITURA_ERRO_CANCELADA and leaves
 * no file); answers 0, also when nothing runs. */
int DLLReadCancelaLeitura(void);

#ifdef __cplusplus
}
#endif

#endif
