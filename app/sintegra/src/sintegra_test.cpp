#include "sintegra/sintegra.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

#include "sintegra/error.h"
#include "sintegra/registros.h"

namespace sintegra {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find("\r\n", pos);
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

std::shared_ptr<TRegistro> Make(TTipoRegistros kind) {
  return TRegistro::CriaRegistro(kind);
}

std::shared_ptr<TRegistro> Owner(const std::string& cnpj, const std::string& ie) {
  auto r = std::make_shared<TRegTipo10>();
  r->SetCnpj(cnpj);
  r->SetStateRegistration(ie);
  return r;
}

std::shared_ptr<TRegistro> Line(const std::string& text) {
  return TRegistro::CriaRegistroDaLinha(text);
}

class BuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sintegra_builder_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    sintegra_.SetLogSink([this](const std::string& line) { log_.push_back(line); });
    sintegra_.DefineDiretorio(dir_.string());
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Add(std::initializer_list<std::shared_ptr<TRegistro>> records) {
    for (const auto& r : records) ASSERT_TRUE(sintegra_.AdicionaRegistro(r));
  }
  fs::path Output() const { return dir_ / "Sintegra.txt"; }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
  TSintegra sintegra_;
  std::vector<std::string> log_;
};

TEST_F(BuilderTest, StartsWithItsFixedFileNameAndNoRecords) {
  TSintegra fresh;
  EXPECT_EQ(fresh.NomeArquivo(), "Sintegra.txt");
  EXPECT_EQ(fresh.Diretorio(), "");
  EXPECT_TRUE(fresh.Registros().empty());
  EXPECT_FALSE(fresh.AdicionaRegistro(nullptr));
  EXPECT_EQ(sintegra_.OutputPath(), Output());
}

TEST_F(BuilderTest, RegistrosDoTipoPicksOneKindInListOrder) {
  auto d1 = Line("60D"), i1 = Line("60I1"), d2 = Line("60D"), i2 = Line("60I2");
  auto r = Line("60R"), s75 = Make(TTipoRegistros::Tipo75);
  Add({d1, i1, s75, d2, i2, r});
  EXPECT_EQ(sintegra_.RegistrosDoTipo(TTipoRegistros::Tipo60I), (TListaRegistros{i1, i2}));
  EXPECT_EQ(sintegra_.RegistrosDoTipo(TTipoRegistros::Tipo60D), (TListaRegistros{d1, d2}));
  EXPECT_EQ(sintegra_.RegistrosDoTipo(TTipoRegistros::Tipo60R), (TListaRegistros{r}));
  EXPECT_EQ(sintegra_.RegistrosDoTipo(TTipoRegistros::Tipo75), (TListaRegistros{s75}));
  EXPECT_TRUE(sintegra_.RegistrosDoTipo(TTipoRegistros::Tipo60M).empty());
  EXPECT_TRUE(sintegra_.RegistrosDoTipo(TTipoRegistros::TipoInvalido).empty());
  EXPECT_EQ(sintegra_.Registros(), (TListaRegistros{d1, i1, s75, d2, i2, r}));
}

TEST_F(BuilderTest, ATypeTenElevenAndThreeFiftiesGetOneTrailerCountingSixLines) {
  Add({Owner("11222333000181", "123456789"), Make(TTipoRegistros::Tipo11),
       Make(TTipoRegistros::Tipo50), Make(TTipoRegistros::Tipo50), Make(TTipoRegistros::Tipo50)});
  ASSERT_TRUE(sintegra_.GeraArquivo()) << sintegra_.LastError();
  auto lines = LinesOf(ReadAll(Output()));
  ASSERT_EQ(lines.size(), 6u);
  const std::string& trailer = lines[5];
  ASSERT_EQ(trailer.size(), 126u);
  EXPECT_EQ(trailer.substr(0, 30), "9011222333000181123456789     ");
  EXPECT_EQ(trailer.substr(30, 10), "5000000003");
  EXPECT_EQ(trailer.substr(40, 10), "9900000006");
  EXPECT_EQ(trailer.substr(50, 75), std::string(75, ' '));
  EXPECT_EQ(trailer.substr(125), "1");
  EXPECT_EQ(log_, (std::vector<std::string>{"--> Iniciando Geração do Sintegra",
                                            "<-- Sintegra gerado com SUCESSO"}));
}

struct TrailerCase {
  const char* name;
  std::vector<std::string> lines;   // the records, as file lines
  std::vector<std::string> totals;  // expected slots of the trailer; empty: no trailer
  std::string taxpayer;             // expected columns 3-30 of the trailer
};

TEST_F(BuilderTest, TrailerCountsEachTypeInOrderOfFirstOccurrence) {
  const std::string owner_a =
      "10"
      "11111111000111"
      "IE-A          ";
  const std::string owner_b =
      "10"
      "22222222000122"
      "IE-B          ";
  const std::string nobody = std::string(14, '0') + std::string(14, ' ');
  const TrailerCase cases[] = {
      {"only 10 and 11", {owner_a, "11"}, {}, ""},
      {"ECF subtypes count together",
       {owner_a, "60M", "60A", "60D", "75"},
       {"6000000003", "7500000001", "9900000006"},
       "11111111000111IE-A          "},
      {"the last type 10 wins",
       {owner_a, "50", owner_b, "54"},
       {"5000000001", "5400000001", "9900000005"},
       "22222222000122IE-B          "},
      {"no type 10", {"54", "50", "54"}, {"5400000002", "5000000001", "9900000004"}, nobody},
      {"an earlier trailer is counted as a line only",
       {owner_a, "50", "90"},
       {"5000000001", "9900000004"},
       "11111111000111IE-A          "},
  };
  for (const TrailerCase& c : cases) {
    SCOPED_TRACE(c.name);
    TSintegra s;
    for (const auto& l : c.lines) ASSERT_TRUE(s.AdicionaRegistro(Line(l)));
    s.GeraRegistrosTipo90();
    if (c.totals.empty()) {
      EXPECT_EQ(s.Registros().size(), c.lines.size());
      continue;
    }
    ASSERT_EQ(s.Registros().size(), c.lines.size() + 1);
    const TRegistro& trailer = *s.Registros().back();
    EXPECT_EQ(trailer.Tipo(), "90");
    EXPECT_EQ(trailer.RenderLine().substr(2, 28), c.taxpayer);
    for (int k = 6; k <= 14; ++k) {
      size_t i = static_cast<size_t>(k - 6);
      EXPECT_EQ(trailer.ObtemValor(k), i < c.totals.size() ? c.totals[i] : "") << "slot " << k;
    }
    EXPECT_EQ(trailer.ObtemValor(16), "1");
  }
}

TEST_F(BuilderTest, MoreTypesThanOneTrailerHoldsSpreadOverSeveralTrailers) {
  // Nine counted types (field 1 set by hand): nine totals plus the overall one need two lines.
  for (int t = 0; t < 9; ++t) {
    auto r = Make(TTipoRegistros::Tipo50);
    r->AtribuiValor(1, std::to_string(20 + t));
    ASSERT_TRUE(sintegra_.AdicionaRegistro(r));
  }
  sintegra_.GeraRegistrosTipo90();
  const auto& all = sintegra_.Registros();
  ASSERT_EQ(all.size(), 11u);
  const TRegistro& first = *all[9];
  const TRegistro& second = *all[10];
  for (int k = 6; k <= 14; ++k) {
    EXPECT_EQ(first.ObtemValor(k), std::to_string(14 + k) + "00000001");
  }
  EXPECT_EQ(second.ObtemValor(6), "9900000011");
  EXPECT_EQ(second.ObtemValor(7), "");
  EXPECT_EQ(first.ObtemValor(16), "2");
  EXPECT_EQ(second.ObtemValor(16), "2");
}

TEST_F(BuilderTest, WritesTheSameBytesAsEachRecordsOwnGravaLinha) {
  auto s50 = std::make_shared<TRegTipo50>();
  s50->SetCnpj("12345678000199");
  s50->SetTotalValue("12,5");
  Add({Owner("11222333000181", "ISENTO"), Make(TTipoRegistros::Tipo11), s50,
       Line("60M20240131SERIE"), Make(TTipoRegistros::Tipo75)});
  ASSERT_TRUE(sintegra_.GeraArquivo());
  fs::path by_line = dir_ / "by_line.txt";
  for (const auto& r : sintegra_.Registros()) r->GravaLinha(by_line);
  EXPECT_EQ(ReadAll(Output()), ReadAll(by_line));
  EXPECT_EQ(ReadAll(Output()).size(), 6u * 128u);
}

TEST_F(BuilderTest, ACollectionWithoutCountedRecordsHasNoTrailer) {
  Add({Owner("1", "2"), Make(TTipoRegistros::Tipo11)});
  ASSERT_TRUE(sintegra_.GeraArquivo());
  EXPECT_EQ(LinesOf(ReadAll(Output())).size(), 2u);

  TSintegra empty;
  empty.DefineDiretorio(dir_.string());
  ASSERT_TRUE(empty.GeraArquivo());
  EXPECT_EQ(ReadAll(Output()), "");
}

TEST_F(BuilderTest, ReplacesAnExistingFileWhateverItsCase) {
  WriteAll(Output(), "old contents\r\n");
  Add({Make(TTipoRegistros::Tipo50)});
  ASSERT_TRUE(sintegra_.GeraArquivo());
  EXPECT_EQ(LinesOf(ReadAll(Output())).size(), 2u);

  fs::remove(Output());
  WriteAll(dir_ / "SINTEGRA.TXT", "old contents\r\n");
  ASSERT_TRUE(sintegra_.GeraArquivo());  // a second call builds a second trailer
  EXPECT_EQ(Entries(), std::vector<std::string>{"Sintegra.txt"});
  EXPECT_EQ(LinesOf(ReadAll(Output())).size(), 3u);
}

TEST_F(BuilderTest, AFailedWriteKeepsThePreviousFileAndLeavesNothingBehind) {
  WriteAll(Output(), "last month\r\n");
  for (int i = 0; i < 40; ++i) Add({Make(TTipoRegistros::Tipo54)});
  // Files of this process may not grow past 1000 bytes: the write fails midway.
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool ok = sintegra_.GeraArquivo();
  ::setrlimit(RLIMIT_FSIZE, &old);

  EXPECT_FALSE(ok);
  EXPECT_EQ(sintegra_.LastError(), "Falha na gravação no arquivo do Sintegra.");
  EXPECT_EQ(ReadAll(Output()), "last month\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"Sintegra.txt"});
  EXPECT_EQ(log_, (std::vector<std::string>{"--> Iniciando Geração do Sintegra",
                                            "<-- Sintegra gerado com FALHA"}));
}

TEST_F(BuilderTest, AFailedTrailerKeepsThePreviousFile) {
  WriteAll(Output(), "last month\r\n");
  Add({Make(TTipoRegistros::Tipo50)});
  // An owner whose number was defined wider than its field cannot be copied to the trailer.
  class WideOwner : public TRegistro {
   public:
    WideOwner() : TRegistro(3, "10") {
      DefineCampo(2, "123456789012345678", 'N', 16, 3, 14);
      DefineCampo(3, "", 'X', 30, 17, 14);
    }
  };
  Add({std::make_shared<WideOwner>()});
  EXPECT_FALSE(sintegra_.GeraArquivo());
  EXPECT_EQ(sintegra_.LastError(), "Tamanho do valor maior que o permitido pelo campo.");
  EXPECT_EQ(ReadAll(Output()), "last month\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"Sintegra.txt"});
}

TEST_F(BuilderTest, AMissingFolderFailsWithTheSystemReason) {
  sintegra_.DefineDiretorio((dir_ / "missing").string());
  Add({Make(TTipoRegistros::Tipo50)});
  EXPECT_FALSE(sintegra_.GeraArquivo());
  EXPECT_EQ(sintegra_.LastError(),
            std::string("Falha na gravação no arquivo do Sintegra.\n") + std::strerror(ENOENT));
  EXPECT_EQ(log_.back(), "<-- Sintegra gerado com FALHA");
}

// The same records, held or written as added, give the same bytes: the trailers of one or
// several lines, a second owner record (the last one names the trailer), none counted.
TEST_F(BuilderTest, WritingAsAddedGivesTheBytesOfHeldRecords) {
  // Records may also come as the lines they render to (AdicionaLinha), held or written as
  // added; only records of known kinds can.
  struct Caso {
    const char* nome;
    std::function<std::vector<std::shared_ptr<TRegistro>>()> registros;
    bool por_linhas = true;
  };
  const Caso casos[] = {
      {"one trailer",
       [] {
         auto s50 = std::make_shared<TRegTipo50>();
         s50->SetCnpj("11222333000181");
         return std::vector<std::shared_ptr<TRegistro>>{Owner("12345678000195", "111"),
                                                        Make(TTipoRegistros::Tipo11),
                                                        s50,
                                                        Make(TTipoRegistros::Tipo54),
                                                        Make(TTipoRegistros::Tipo50),
                                                        Owner("98765432000198", "222"),
                                                        Make(TTipoRegistros::Tipo75)};
       }},
      {"two trailers",
       [] {
         std::vector<std::shared_ptr<TRegistro>> v{Owner("12345678000195", "111")};
         for (int t = 0; t < 9; ++t) {
           auto r = Make(TTipoRegistros::Tipo50);
           r->AtribuiValor(1, std::to_string(20 + t));
           v.push_back(r);
         }
         return v;
       },
       false},
      {"values with blanks, accents and control bytes inside",
       [] {
         auto s54 = std::make_shared<TRegTipo54>();
         s54->SetSeries("A\nB");
         s54->SetProductCode(" 12 \r 3");
         auto s75 = std::make_shared<TRegTipo75>();
         s75->SetDescription(
             "Caf\xe9 com a\xe7\xfa"
             "car");
         return std::vector<std::shared_ptr<TRegistro>>{Owner("12345678000195", "111"), s54, s75,
                                                        Make(TTipoRegistros::Tipo90)};
       }},
      {"nothing counted",
       [] {
         return std::vector<std::shared_ptr<TRegistro>>{Owner("12345678000195", "111"),
                                                        Make(TTipoRegistros::Tipo11)};
       }},
  };
  for (const Caso& caso : casos) {
    SCOPED_TRACE(caso.nome);
    const char* const pastas[] = {"held", "streamed", "held lines", "streamed lines"};
    TSintegra held, streamed, held_lines, streamed_lines;
    TSintegra* const colecoes[] = {&held, &streamed, &held_lines, &streamed_lines};
    for (int k = 0; k < 4; ++k) {
      fs::create_directories(dir_ / pastas[k]);
      colecoes[k]->DefineDiretorio((dir_ / pastas[k]).string());
    }
    streamed.EscreveAoAdicionar();
    streamed_lines.EscreveAoAdicionar();
    const int usadas = caso.por_linhas ? 4 : 2;
    for (const auto& r : caso.registros()) {
      ASSERT_TRUE(held.AdicionaRegistro(r));
      ASSERT_TRUE(streamed.AdicionaRegistro(r));
      if (!caso.por_linhas) continue;
      ASSERT_TRUE(held_lines.AdicionaLinha(r->RenderLine()));
      ASSERT_TRUE(streamed_lines.AdicionaLinha(r->RenderLine()));
    }
    EXPECT_TRUE(streamed.Registros().empty()) << "nothing is held";
    EXPECT_TRUE(streamed_lines.Registros().empty()) << "nothing is held";
    for (int k = 0; k < usadas; ++k)
      ASSERT_TRUE(colecoes[k]->GeraArquivo()) << colecoes[k]->LastError();
    const std::string esperado = ReadAll(dir_ / "held" / "Sintegra.txt");
    for (int k = 1; k < usadas; ++k)
      EXPECT_EQ(ReadAll(dir_ / pastas[k] / "Sintegra.txt"), esperado) << pastas[k];
    for (const char* pasta : pastas) fs::remove_all(dir_ / pasta);
  }
}

TEST_F(BuilderTest, ALineOfNoKnownKindIsRefused) {
  for (bool written_as_added : {false, true}) {
    TSintegra s;
    s.DefineDiretorio(dir_.string());
    if (written_as_added) s.EscreveAoAdicionar();
    for (const char* linha : {"", "2", "99", "60X"}) {
      EXPECT_THROW(s.AdicionaLinha(linha), SintegraError) << linha;
    }
    EXPECT_TRUE(s.Registros().empty());
    ASSERT_TRUE(s.GeraArquivo()) << s.LastError();
    EXPECT_EQ(ReadAll(Output()), "") << "nothing was added, not even a trailer";
  }
}

// A run given up halfway (the builder goes away without GeraArquivo) keeps the previous
// file and leaves nothing of its own.
TEST_F(BuilderTest, WritingAsAddedThenGivenUpKeepsThePreviousFile) {
  WriteAll(Output(), "previous\r\n");
  {
    TSintegra s;
    s.DefineDiretorio(dir_.string());
    s.EscreveAoAdicionar();
    ASSERT_TRUE(s.AdicionaRegistro(Owner("12345678000195", "111")));
    ASSERT_TRUE(s.AdicionaRegistro(Make(TTipoRegistros::Tipo50)));
    EXPECT_EQ(Entries().size(), 2u) << "the file being written sits beside the previous one";
  }
  EXPECT_EQ(ReadAll(Output()), "previous\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"Sintegra.txt"});
}

// A folder that does not exist is reported by GeraArquivo, as for held records.
TEST_F(BuilderTest, WritingAsAddedIntoAMissingFolderFailsAtTheEndWithTheReason) {
  TSintegra s;
  s.DefineDiretorio((dir_ / "missing").string());
  s.EscreveAoAdicionar();
  ASSERT_TRUE(s.AdicionaRegistro(Make(TTipoRegistros::Tipo50)));
  EXPECT_FALSE(s.GeraArquivo());
  EXPECT_NE(s.LastError().find(std::strerror(ENOENT)), std::string::npos) << s.LastError();
}

TEST_F(BuilderTest, LoadsLinesEndedByCrLfLfOrCr) {
  const std::string a = "50" + std::string(124, '1');
  const std::string b = "60A" + std::string(123, ' ');
  const std::string c = "75";
  const std::string texts[] = {
      a + "\r\n" + b + "\r\n" + c + "\r\n", a + "\n" + b + "\n" + c + "\n",
      a + "\r" + b + "\r" + c + "\r",       a + "\r\n" + b + "\n" + c,
      a + "\r" + b + "\r\n" + c + "\n",
  };
  for (const std::string& text : texts) {
    WriteAll(dir_ / "in.txt", text);
    TSintegra s;
    s.CarregaArquivo((dir_ / "in.txt").string());
    ASSERT_EQ(s.Registros().size(), 3u);
    EXPECT_EQ(s.Registros()[0]->RenderLine(), a + "\r\n");
    EXPECT_EQ(s.Registros()[1]->Tipo(), "60");
    EXPECT_EQ(s.Registros()[1]->ObtemValor(2), "A");
    EXPECT_EQ(s.Registros()[2]->Tipo(), "75");
  }
}

TEST_F(BuilderTest, AnEmptyThirdLineStopsTheLoadAfterTwoRecords) {
  const std::string path = (dir_ / "in.txt").string();
  WriteAll(path, "60M\r\n75\r\n\r\n75\r\n");
  TSintegra s;
  try {
    s.CarregaArquivo(path);
    ADD_FAILURE() << "the load did not fail";
  } catch (const SintegraError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Erro ao carregar a linha 3 do arquivo " + path + " - Tipo do registro inválido.");
  }
  EXPECT_EQ(s.Registros().size(), 2u);
}

TEST_F(BuilderTest, AMissingFileCannotBeLoaded) {
  const std::string path = (dir_ / "none.txt").string();
  TSintegra s;
  try {
    s.CarregaArquivo(path);
    ADD_FAILURE() << "the load did not fail";
  } catch (const SintegraError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Não foi possível ler o arquivo " + path + ".\n" + std::strerror(ENOENT));
  }
}

// Loads the text through a named pipe rather than a regular file: what is not a regular
// file is read in chunks rather than mapped.
void LoadThroughPipe(TSintegra& s, const fs::path& fifo, const std::string& text) {
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << std::strerror(errno);
  std::thread writer([&] { WriteAll(fifo, text); });
  try {
    s.CarregaArquivo(fifo.string());
  } catch (...) {
    writer.join();
    throw;
  }
  writer.join();
}

TEST_F(BuilderTest, LoadsALineEndSplitAcrossReadChunks) {
  // The CR of one line end falls on the last byte of the first 1 MiB, its LF on the first
  // byte of the next: that must stay one line end, not two, from a file or a pipe.
  std::string text = "75" + std::string(125, 'X') + "\r\n";  // 129 bytes
  const std::string line = "54" + std::string(124, '0') + "\r\n";
  while (text.size() < (1u << 20) + 1000) text += line;
  ASSERT_EQ(text[(1u << 20) - 1], '\r');
  ASSERT_EQ(text[1u << 20], '\n');
  const size_t lines = (text.size() - 129) / 128 + 1;
  WriteAll(dir_ / "big.txt", text);
  TSintegra from_file;
  from_file.CarregaArquivo((dir_ / "big.txt").string());
  EXPECT_EQ(from_file.Registros().size(), lines);
  TSintegra from_pipe;
  LoadThroughPipe(from_pipe, dir_ / "pipe", text);
  ASSERT_EQ(from_pipe.Registros().size(), lines);
  EXPECT_EQ(from_pipe.Registros().back()->RenderLine(), line);
}

TEST_F(BuilderTest, LoadsLinesLongerThanAReadChunk) {
  // Columns past 126 are ignored, however far the line goes.
  const std::string longest = "75" + std::string(3u << 20, '9');
  WriteAll(dir_ / "long.txt", longest + "\r\n" + "50\r" + longest);
  TSintegra s;
  s.CarregaArquivo((dir_ / "long.txt").string());
  ASSERT_EQ(s.Registros().size(), 3u);
  EXPECT_EQ(s.Registros()[0]->RenderLine(), longest.substr(0, 126) + "\r\n");
  EXPECT_EQ(s.Registros()[1]->Tipo(), "50");
  EXPECT_EQ(s.Registros()[2]->RenderLine(), longest.substr(0, 126) + "\r\n");
}

TEST_F(BuilderTest, AWrittenFileLoadsBackLineForLine) {
  auto s50 = std::make_shared<TRegTipo50>();
  s50->SetCnpj("12345678000199");
  s50->SetIssuer("P");
  Add({Owner("11222333000181", "ISENTO"), Make(TTipoRegistros::Tipo11), s50,
       Line("60I20240131SERIE"), Make(TTipoRegistros::Tipo74), Make(TTipoRegistros::Tipo75)});
  ASSERT_TRUE(sintegra_.GeraArquivo());
  TSintegra back;
  back.CarregaArquivo(Output().string());
  ASSERT_EQ(back.Registros().size(), sintegra_.Registros().size());
  for (size_t i = 0; i < back.Registros().size(); ++i) {
    EXPECT_EQ(back.Registros()[i]->RenderLine(), sintegra_.Registros()[i]->RenderLine());
  }
}

TEST_F(BuilderTest, LoadedRecordsOutliveTheCollectionThatLoadedThem) {
  // Enough lines for the records to fill several blocks of memory; the generation keeps
  // some in its output collection after the import collection is gone.
  std::string text;
  for (int i = 0; i < 30000; ++i) {
    std::string code = std::to_string(i);
    text += "75" + std::string(16, '0') + code + std::string(14 - code.size(), ' ') +
            std::string(94, 'X') + (i % 2 ? "\r\n" : "\n");
  }
  WriteAll(dir_ / "many.txt", text);
  TListaRegistros kept;
  {
    TSintegra import;
    import.CarregaArquivo((dir_ / "many.txt").string());
    ASSERT_EQ(import.Registros().size(), 30000u);
    for (size_t i = 0; i < import.Registros().size(); i += 997)
      kept.push_back(import.Registros()[i]);
  }
  for (size_t k = 0; k < kept.size(); ++k) {
    EXPECT_EQ(kept[k]->ObtemValor(4), std::to_string(k * 997));
    EXPECT_EQ(kept[k]->RenderLine().size(), 128u);
  }
}

TEST_F(BuilderTest, AnEmptyFileLoadsNoRecord) {
  WriteAll(dir_ / "empty.txt", "");
  TSintegra s;
  s.CarregaArquivo((dir_ / "empty.txt").string());
  EXPECT_TRUE(s.Registros().empty());
}

// A loaded record reads its values from the file's bytes until it changes; from then on,
// and in any copy, it holds its own. Each case changes a record of the same two lines.
TEST_F(BuilderTest, LoadedRecordsChangeLikeRecordsBuiltFromTheirLine) {
  const std::string first = "75" + std::string(8, '2') + std::string(8, '3') + "COD1" +
                            std::string(10, ' ') + "99999999" + "DESCRICAO  " +
                            std::string(42, ' ') + "UN   " + std::string(25, '0') + "\r\n";
  const std::string second = "60M20240131SERIE1";
  WriteAll(dir_ / "in.txt", first + second);
  struct Case {
    const char* what;
    std::function<void(TRegistro&)> change;
  };
  const Case cases[] = {
      {"nothing", [](TRegistro&) {}},
      {"a value set", [](TRegistro& r) { r.AtribuiValor(4, "NOVO"); }},
      {"a value set to a value of its own",
       [](TRegistro& r) { r.AtribuiValor(3, r.ValueView(1)); }},
      {"a value cleared", [](TRegistro& r) { r.AtribuiValor(3, ""); }},
      {"a field redefined", [](TRegistro& r) { r.DefineCampo(2, "5", 'N', 10, 3, 8); }},
      {"a value too long refused",
       [](TRegistro& r) { EXPECT_THROW(r.AtribuiValor(2, "123456789"), SintegraError); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TSintegra s;
    s.CarregaArquivo((dir_ / "in.txt").string());
    ASSERT_EQ(s.Registros().size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      TRegistro& loaded = *s.Registros()[i];
      EXPECT_TRUE(loaded.ReadsLoadedLine());
      auto built = TRegistro::CriaRegistroDaLinha(i == 0 ? first.substr(0, 126) : second);
      c.change(loaded);
      c.change(*built);
      ASSERT_EQ(loaded.FieldCount(), built->FieldCount());
      for (int k = 1; k <= loaded.FieldCount(); ++k) {
        EXPECT_EQ(loaded.ObtemValor(k), built->ObtemValor(k)) << "line " << i + 1 << " field " << k;
        EXPECT_EQ(loaded.Field(k).Inicio, built->Field(k).Inicio);
      }
      EXPECT_EQ(loaded.RenderLine(), built->RenderLine());
    }
  }
}

TEST_F(BuilderTest, CopiesOfLoadedRecordsOwnTheirValues) {
  WriteAll(dir_ / "in.txt", "60A20240131" + std::string("SERIE1") + std::string(14, ' ') + "1700" +
                                "000000001234\r\n");
  std::unique_ptr<TRegTipo60A> copy;
  {
    TSintegra s;
    s.CarregaArquivo((dir_ / "in.txt").string());
    auto* loaded = dynamic_cast<TRegTipo60A*>(s.Registros()[0].get());
    ASSERT_NE(loaded, nullptr);
    copy = std::make_unique<TRegTipo60A>(*loaded);
    EXPECT_TRUE(loaded->ReadsLoadedLine());
  }
  fs::remove(dir_ / "in.txt");
  EXPECT_FALSE(copy->ReadsLoadedLine());
  EXPECT_EQ(copy->ObtemValor(4), "SERIE1");
  EXPECT_EQ(copy->ObtemValor(5), "1700");
  copy->AtribuiValor(5, "18");
  EXPECT_EQ(copy->ObtemValor(5), "18");
}

TEST_F(BuilderTest, ALoadedFileRewrittenInPlaceOfItselfKeepsItsRecords) {
  // Reading last month's file and writing it back into the same folder: the new file is
  // put in place by renaming, so the records still read the old one's bytes.
  Add({Owner("11222333000181", "ISENTO"), Line("75" + std::string(16, '2') + "PROD")});
  ASSERT_TRUE(sintegra_.GeraArquivo());
  const std::string before = ReadAll(Output());
  TSintegra again;
  again.CarregaArquivo(Output().string());
  ASSERT_EQ(again.Registros().size(), 3u);
  auto trailer = again.Registros().back();
  TSintegra rewrite;
  rewrite.DefineDiretorio(dir_.string());
  for (const auto& r : again.Registros()) {
    if (r->Tipo() != "90") rewrite.AdicionaRegistro(r);
  }
  again = TSintegra();
  ASSERT_TRUE(rewrite.GeraArquivo());
  EXPECT_EQ(ReadAll(Output()), before);
  EXPECT_EQ(trailer->RenderLine(), LinesOf(before).back() + "\r\n");
  EXPECT_EQ(rewrite.Registros()[1]->ObtemValor(4), "PROD");
}

}  // namespace
}  // namespace sintegra
