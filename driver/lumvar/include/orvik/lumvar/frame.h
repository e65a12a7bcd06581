#pragma once
// The routines behind the twelve frame exports (port test, last result, raw commands,
// operator and application identifiers, line spacing, speed), family routing included.
// Same arguments as the exports; texts may be null.

namespace orvik::frame {

int RetornoImpressora(int* code, char* message);
int LeArquivoRetorno(char* buffer);
int AbrePortaSerial();
int IniciaPorta(const char* port);
int FechaPortaSerial();
int ExecutaComando(const char* command, const char* parameters);
int ExecutaLeitura(const char* command, const char* parameters, char* answer);
int ProgramaOperador(const char* name);
int ProgramaIdAplicativoMFD(const char* id);
int LinhasEntreCupons(int lines);
int ProgramaBaudRate(const char* speed);
int VerificaReducaoZAutomatica(int* flag);

// The QVX routine behind FechaPortaSerial for families 1 and 2, installed by that
// engine; without it those families take the not-implemented path.
void SetQvxClosePort(int (*routine)());

}  // namespace orvik::frame
