/* libato17.so: turns a TDM file (sim/leitura) into the Ato COTEPE/ICMS 17/04 text file.
 * C calling convention; texts are NUL-terminated Windows-1252. */
#ifndef ATO17_ATO17_H
#define ATO17_ATO17_H

#ifdef __cplusplus
extern "C" {
#endif

/* Answers of DLLATO17GeraArquivo. */
enum {
  ATO17_OK = 0,
  ATO17_ERRO_TDM_AUSENTE = 1,  /* the TDM file is missing or unreadable */
  ATO17_ERRO_TDM_INVALIDO = 2, /* the TDM file is damaged or not a TDM file */
  ATO17_ERRO_INTERVALO = 3,    /* the first or last value is not valid for the kind */
  ATO17_ERRO_SAIDA = 4,        /* the text file cannot be written */
  ATO17_ERRO_ARGUMENTOS = 5    /* missing argument, unknown interval kind, content or user */
};

/* Writes text_file from binary_file for the interval first..last of kind 'D' (document
 * dates), 'M' (movement dates of the Z reports) or 'C' (COO numbers); dates as YYYYMMDD,
 * ddmmyyyy or dd/mm/yyyy. user is the owner's number ("01"); content is "TDM" (everything),
 * "MF" (fiscal memory) or "MFD" (detail tape). On failure no text_file is left. */
int DLLATO17GeraArquivo(const char* binary_file, const char* text_file, const char* first,
                        const char* last, char interval_kind, const char* user,
                        const char* content);

#ifdef __cplusplus
}
#endif

#endif
