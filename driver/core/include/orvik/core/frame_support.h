#pragma once
// What every export of the frame shares: the log, the not-implemented and
// command-missing paths, and the return-value writers.
#include <string_view>

namespace orvik::core {

// Appends text to LOG.DAT and (scrambled) to HOMOL.DAT when logging is on.
void Log(std::string_view text);

// Empties the return value, last message "Nao Implementado:" + label, code -3; returns 0.
int NotImplemented(std::string_view label);

// Last message "Comando Inexistente para este modelo:" + label, code -2, ST2 1, ST1 4,
// ACK 6; returns 0.
int CommandMissing(std::string_view label);

// The return-value writers. A null buffer skips the copy only (RETORNO.TXT is still
// written where the writer writes it).
// Whether a writer since the last call failed to write RETORNO.TXT (the flag is cleared).
bool TakeReturnFileFailure();
// The export's answer once its writers ran: a result of 1 whose RETORNO.TXT could not be
// written becomes 0 with last code -8 and "Erro na gravacao de RETORNO.TXT"; a failure
// keeps its own code.
int SettleReturnFile(int result);

void WriteAsIs(char* buffer);                 // logs LenParm=, copies, recreates RETORNO.TXT
void WriteDigits(char* buffer, int n);        // last n digits, zero-filled
void WriteText(char* buffer, int n);          // first n characters, blank-filled
void WriteSecondDigits(char* buffer, int n);  // second value, buffer only
void WriteSecondText(char* buffer, int n);    // second value, buffer only
void WriteSecondAsIs(char* buffer);           // second value, buffer only

}  // namespace orvik::core
