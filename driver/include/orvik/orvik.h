/*
 * orvik.h - the C interface of liborvik.so, the driver for the fiscal printers (ECF),
 * the non-fiscal receipt printers and the scale.
 *
 * Conventions of every export:
 * - Texts are zero-terminated Windows-1252 strings. A null text counts as an empty one.
 * - Answers are copied into buffers that the caller supplies; the driver does not know
 *   their size, so pass buffers at least as long as the widest answer of the export
 *   (filling them with blanks of the wanted width first is the usual practice). A null
 *   buffer or integer pointer is never written through.
 * - The result is 1 on success and 0 on failure; a few exports answer a negative code
 *   directly. The cause of a failure is read with Orvik_RetornoImpressora (last return
 *   code and last message); the answer of the last query is also left in RETORNO.TXT in
 *   the configured Path folder.
 * - Exports are meant to be called from one thread at a time.
 *
 * The prototypes are listed in orvik/exports.def, grouped as the driver groups them.
 */
#ifndef ORVIK_ORVIK_H
#define ORVIK_ORVIK_H

/* Calling convention: stdcall where the platform has one (32-bit x86), else the
 * platform's own. */
#if defined(_WIN32)
#define ORVIK_CALL __stdcall
#elif defined(__i386__)
#define ORVIK_CALL __attribute__((stdcall))
#else
#define ORVIK_CALL
#endif

/* Visibility: the library is built with hidden symbols; only the exports are public. */
#if defined(_WIN32)
#if defined(ORVIK_BUILDING_LIBRARY)
#define ORVIK_API __declspec(dllexport)
#else
#define ORVIK_API __declspec(dllimport)
#endif
#else
#define ORVIK_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Each line of exports.def, ORVIK_EXPORT(group, name, (parameters)), declares
 *   int name(parameters);                                                    */
#define ORVIK_EXPORT(group, name, params) ORVIK_API int ORVIK_CALL name params;
#include "orvik/exports.def"
#undef ORVIK_EXPORT

/* The number of exports declared above. */
#define ORVIK_EXPORT_COUNT 298

#ifdef __cplusplus
}
#endif

#endif /* ORVIK_ORVIK_H */
