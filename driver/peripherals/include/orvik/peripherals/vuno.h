#pragma once
// The non-fiscal receipt printer's routines, for the model families 4 (parallel port)
// and 5 (serial port); the exports check the family before calling a sending routine.
//
// Answers: 1 done; 0 failed with last return code -10 (printer offline or not answering),
// -11 (port-access library missing), -5 (serial line settings cannot be applied) or -1
// (barcode too long to send); -5 when the serial port cannot be opened. While another
// command of the library runs, a send answers 1 without sending.
#include <string>

#include "orvik/peripherals/vuno_bytes.h"

namespace orvik::peripherals {

int EnviaBuffer(const std::string& text);
int EnviaBufferFormatado(const std::string& text, int font, int italic, int underline,
                         int double_width, int emphasis);
// Exactly the bytes given, zero bytes included, without waiting for the printer.
int EnviaComando(const std::string& bytes);
int AcionaGaveta();
// repetitions beeps of the clamped duration, each followed by pause + duration ms; the
// last beep's answer (0 when repetitions is 0 or less).
int AcionaBuzLite(int repetitions, int duration, int pause);
int AcionaGuilhotina(int mode);
int AcionaGuilhotinaParcial(int n);
int ImprimeCodigoBarras(Barcode kind, const std::string& data);
int ImprimeCodigoBarrasPDF417(int a, int b, int c, int d, const std::string& data);
int ConfiguraCodigoBarras(int height, int width, int text_position, int font, int margin);
int AjustaLarguraPapel(int width);

// Status: family 5 asks the serial printer, every other family reads the parallel
// port's status register.
int VerificaOnLine();
int VerificaPoucoPapel();
int VerificaFimPapel();
int VerificaEstadoGaveta();

// Milliseconds a serial write of n bytes at speed bits/s may take before it counts as
// cut short: one second plus twice the time the bytes need on the line.
int SerialWriteLimitMs(size_t n, const std::string& speed);

}  // namespace orvik::peripherals
