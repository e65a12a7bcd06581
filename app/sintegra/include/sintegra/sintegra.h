#pragma once
// One Sintegra file in the making, or one file read back: the records in order, the
// output folder, the type-90 trailer built from what is held, and the writing.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "sintegra/registro.h"
#include "sintegra/tipos.h"

namespace sintegra {

class TSintegra {
 public:
  // Receives the operation-log lines of GeraArquivo (UTF-8).
  using LogSink = std::function<void(const std::string& line)>;

  TSintegra() = default;
  explicit TSintegra(LogSink log) : log_(std::move(log)) {}

  void SetLogSink(LogSink log) { log_ = std::move(log); }

  const std::string& NomeArquivo() const { return nome_arquivo_; }
  const std::string& Diretorio() const { return diretorio_; }
  // Diretorio / NomeArquivo; an empty folder means the current directory.
  std::filesystem::path OutputPath() const;

  void DefineDiretorio(std::string pasta) { diretorio_ = std::move(pasta); }

  // Appends the record and shares its ownership; false (nothing raised) when the list
  // cannot grow or there is no record. While writing as added, the record's line is
  // written at once and the record is not kept.
  bool AdicionaRegistro(std::shared_ptr<TRegistro> registro);

  // Appends the record a line stands for, the line as RenderLine gives it (CR LF ending
  // included): what AdicionaRegistro adds for the record the line was rendered from.
  // While writing as added the line goes in as it is, without a record being made; a
  // type-10 line (the trailer reads it) and held records get a record read from the line.
  // A line of no known kind is refused with kInvalidRecordType; false as AdicionaRegistro.
  bool AdicionaLinha(std::string_view linha);

  // From now on every record added goes straight into a file beside OutputPath() and is
  // not held, so a month of any size costs the memory of one record; GeraArquivo ends
  // that file with the trailer and puts it in place, giving the bytes it would give
  // from held records. Records must not change once added. Registros() then lists only
  // what was added before. When the file cannot be made the records are held as usual
  // and GeraArquivo reports the failure. Call after DefineDiretorio.
  void EscreveAoAdicionar();

  // All records in insertion order.
  const TListaRegistros& Registros() const { return registros_; }

  // The records of one kind, in list order; TipoInvalido matches nothing.
  TListaRegistros RegistrosDoTipo(TTipoRegistros tipo) const;

  // Appends one record per line of the file (lines end at CR LF, LF or CR). A line that
  // fails stops the load with "Erro ao carregar a linha N do arquivo PATH - MESSAGE";
  // the records of the lines before it stay. A regular file is mapped and its records read
  // their values from it until they change: it must not be cut short or rewritten in
  // place while they are held (replacing it by renaming, as GeraArquivo does, is safe).
  void CarregaArquivo(const std::string& arquivo);

  // Builds the type-90 trailer from the records held and appends it (nothing when no
  // record is counted).
  void GeraRegistrosTipo90();

  // Builds the trailer and writes every record as one line of OutputPath(). The file is
  // written aside and put in place only when complete: on failure the previous file stays
  // as it was. Never raises; the reason of a failure is kept in LastError().
  bool GeraArquivo();

  // The message of the error that made the last GeraArquivo fail; empty after success.
  const std::string& LastError() const { return last_error_; }

 private:
  void Log(const std::string& line) const;
  void WriteFile();
  // The type-90 trailers for these counts (kinds in first-seen order), the last type-10
  // record and the number of records before them.
  static TListaRegistros Trailers(const std::vector<TContador>& contadores, const TRegistro* tipo10,
                                  std::size_t registros);
  static void Conta(std::vector<TContador>& contadores, std::string_view tipo);

  // Writing as added (EscreveAoAdicionar).
  struct Streaming;
  std::shared_ptr<Streaming> streaming_;

  std::string nome_arquivo_ = "Sintegra.txt";
  std::string diretorio_;
  TListaRegistros registros_;
  LogSink log_;
  std::string last_error_;
};

}  // namespace sintegra
