#include "sintegra/registro.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/text1252.h"
#include "sintegra/error.h"
#include "sintegra/registros.h"

namespace sintegra {
namespace {

// A record with one field of each fill rule, lower-case kinds included.
class SampleRecord : public TRegistro {
 public:
  SampleRecord() : TRegistro(6, "50") {
    DefineCampo(2, "", 'N', 16, 3, 14);
    DefineCampo(3, "", 'X', 30, 17, 14);
    DefineCampo(4, "", 'n', 39, 31, 9);
    DefineCampo(5, "", 'x', 42, 40, 3);
    DefineCampo(6, "", 'X', 126, 43, 84);
  }
  using TRegistro::DefineCampo;
};

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const SintegraError& e) {
    return e.what();
  }
  return "(nothing raised)";
}

class TempFolder {
 public:
  TempFolder() {
    char tmpl[] = "/tmp/sintegra_registro_XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

TEST(RenderingTest, FillsEachFieldToItsWidthByKind) {
  struct Case {
    int field;
    std::string value;
    std::string expected;  // the field's columns in the rendered line
  };
  const Case cases[] = {
      {2, "", std::string(14, '0')},
      {3, "", std::string(14, ' ')},
      {2, "123", "00000000000123"},
      {3, "AB", "AB" + std::string(12, ' ')},
      {4, "12,5", "0000012,5"},  // separators are written unchanged
      {4, "-1.5", "00000-1.5"},  // so are signs
      {2, "12345678901234", "12345678901234"},
      {5, "a", "a  "},                           // no upper-casing
      {3, "  X", "  X" + std::string(11, ' ')},  // leading blanks stay
  };
  for (const Case& c : cases) {
    SampleRecord r;
    r.AtribuiValor(c.field, c.value);
    std::string line = r.RenderLine();
    const TCampo& f = r.Field(c.field);
    EXPECT_EQ(line.substr(f.Inicio - 1, f.Tamanho), c.expected) << "field " << c.field;
    EXPECT_EQ(line.size(), 128u);
    EXPECT_EQ(line.substr(126), "\r\n");
  }
}

TEST(RenderingTest, KeepsWindows1252BytesAndCountsThemAsOneCharacter) {
  SampleRecord r;
  std::string name = common::utf8_to_cp1252("JOÃO");
  ASSERT_EQ(name.size(), 4u);
  r.AtribuiValor(3, name);
  std::string line = r.RenderLine();
  EXPECT_EQ(line.size(), 128u);
  EXPECT_EQ(line.substr(16, 14), name + std::string(10, ' '));
}

TEST(AtribuiValorTest, DropsTrailingBlanksAndControlsAndChecksTheWidth) {
  struct Case {
    std::string value;
    bool accepted;
    std::string stored;
  };
  const Case cases[] = {
      {"ABC", true, "ABC"},       {"ABC   ", true, "ABC"}, {"ABC\t\r\n", true, "ABC"},
      {" AB", true, " AB"},       {" ABC", false, ""},  // a leading blank counts
      {"ABCD", false, ""},        {"", true, ""},          {"   ", true, ""},
      {"AB\xA0", true, "AB\xA0"},  // a no-break space (byte 160) is not trailing white
  };
  for (const Case& c : cases) {
    SampleRecord r;
    r.AtribuiValor(5, "old");
    if (c.accepted) {
      r.AtribuiValor(5, c.value);
      EXPECT_EQ(r.ObtemValor(5), c.stored) << "[" << c.value << "]";
    } else {
      EXPECT_EQ(MessageOf([&] { r.AtribuiValor(5, c.value); }),
                "Tamanho do valor maior que o permitido pelo campo.");
      EXPECT_EQ(r.ObtemValor(5), "old") << "a refused value leaves the field as it was";
    }
  }
}

TEST(AtribuiValorTest, NumericFieldsAcceptAnyText) {
  SampleRecord r;
  r.AtribuiValor(2, "A-1,2.3/X");
  EXPECT_EQ(r.ObtemValor(2), "A-1,2.3/X");
  EXPECT_EQ(r.RenderLine().substr(2, 14), "00000A-1,2.3/X");
}

TEST(AtribuiValorTest, TakesAValueReadFromTheSameRecord) {
  SampleRecord r;
  r.AtribuiValor(3, "LONGER TEXT");
  r.AtribuiValor(2, "12345678901234");
  r.AtribuiValor(3, r.ValueView(2));
  EXPECT_EQ(r.ObtemValor(3), "12345678901234");
  r.AtribuiValor(2, r.ValueView(3).substr(0, 3));
  EXPECT_EQ(r.ObtemValor(2), "123");
  EXPECT_EQ(r.RenderLine().substr(2, 28),
            "00000000000123"
            "12345678901234");
}

TEST(AtribuiValorTest, ValuesBeyondTheUsualLineLengthAreKept) {
  // Initial values are not held to the width; a long one must survive later changes.
  SampleRecord r;
  const std::string wide(300, 'W');
  r.DefineCampo(6, wide, 'X', 126, 43, 84);
  r.AtribuiValor(2, "1");
  r.AtribuiValor(3, "ABC");
  EXPECT_EQ(r.ObtemValor(6), wide);
  EXPECT_EQ(r.ObtemValor(3), "ABC");
  SampleRecord copy = r;
  copy.AtribuiValor(6, "short");
  EXPECT_EQ(r.ObtemValor(6), wide);
  EXPECT_EQ(copy.ObtemValor(6), "short");
  EXPECT_EQ(copy.ObtemValor(2), "1");
}

TEST(AtribuiValorTest, UnknownFieldNumbersAreRefused) {
  SampleRecord r;
  EXPECT_THROW(r.AtribuiValor(0, "1"), std::out_of_range);
  EXPECT_THROW(r.AtribuiValor(7, "1"), std::out_of_range);
  EXPECT_THROW(r.ObtemValor(7), std::out_of_range);
}

TEST(DefineCampoTest, AcceptsOnlyTheFourKindCharacters) {
  for (char kind : {'N', 'n', 'X', 'x'}) {
    SampleRecord r;
    r.DefineCampo(6, "", kind, 126, 43, 84);
    EXPECT_EQ(r.Field(6).Formato, kind);
  }
  for (char kind : {'A', 'D', ' ', '\0', '9'}) {
    SampleRecord r;
    EXPECT_EQ(MessageOf([&] { r.DefineCampo(6, "ZZ", kind, 120, 43, 78); }),
              "Formato do valor inválido para um campo do sintegra.");
    const TCampo& f = r.Field(6);
    EXPECT_EQ(f.Formato, '\0') << "the field keeps no kind";
    EXPECT_EQ(f.Valor, "ZZ");
    EXPECT_EQ(f.Tamanho, 78);
    EXPECT_EQ(f.Inicio, 43);
    EXPECT_EQ(f.Fim, 120);
  }
}

TEST(DefineCampoTest, DoesNotCompareTheInitialValueWithTheWidth) {
  SampleRecord r;
  r.DefineCampo(5, "ABCDE", 'X', 42, 40, 3);
  EXPECT_EQ(r.ObtemValor(5), "ABCDE");
}

TEST(CriaRegistroTest, RefusesValuesOutsideTheKinds) {
  for (int value : {12, 13, 200, 255}) {
    EXPECT_EQ(MessageOf([&] { TRegistro::CriaRegistro(static_cast<TTipoRegistros>(value)); }),
              "Tipo do registro inválido.")
        << value;
  }
}

TEST(CriaRegistroDaLinhaTest, RefusesUnknownTypeTexts) {
  const char* lines[] = {"",  "6",   "60", "60m", "60X", "60 ", "99", "0000",
                         "1", " 10", "5O", "6OM", "9",   "00",  "600"};
  for (const char* line : lines) {
    EXPECT_EQ(MessageOf([&] { TRegistro::CriaRegistroDaLinha(line); }),
              "Tipo do registro inválido.")
        << "[" << line << "]";
  }
}

TEST(CriaRegistroDaLinhaTest, ShortLinesLeaveTheMissingFieldsEmpty) {
  // A type-75 line cut after column 102: field 8 (100-104) gets three characters.
  std::string full =
      "75"
      "20240101"
      "20240131"
      "ABC123        "
      "12345678" +
      std::string(53, 'D') + "UNIDAD" +
      "00700"
      "1800"
      "00000" +
      "0000000000000";
  ASSERT_EQ(full.size(), 126u);
  auto r = TRegistro::CriaRegistroDaLinha(full.substr(0, 102));
  EXPECT_EQ(r->ObtemValor(7), "UNIDAD");
  EXPECT_EQ(r->ObtemValor(8), "007");
  EXPECT_EQ(r->ObtemValor(9), "");
  EXPECT_EQ(r->ObtemValor(11), "");
  EXPECT_EQ(r->RenderLine().substr(99, 27),
            "00007"
            "0000"
            "00000"
            "0000000000000");

  auto cut = TRegistro::CriaRegistroDaLinha(full.substr(0, 100));
  EXPECT_EQ(cut->ObtemValor(8), "0");
  EXPECT_EQ(cut->ObtemValor(11), "");
}

TEST(CriaRegistroDaLinhaTest, TakesTheSubtypeAndTrimsTrailingBlanks) {
  std::string line = "60I" + std::string(123, ' ');
  auto r = TRegistro::CriaRegistroDaLinha(line);
  ASSERT_NE(dynamic_cast<TRegTipo60I*>(r.get()), nullptr);
  EXPECT_EQ(r->ObtemValor(2), "I");
  EXPECT_EQ(r->ObtemValor(4), "");
  auto longer = TRegistro::CriaRegistroDaLinha(line + "EXTRA COLUMNS ARE IGNORED");
  EXPECT_EQ(longer->RenderLine(), r->RenderLine());
}

TEST(GravaLinhaTest, AppendsOneLinePerCallWithoutEmptyingTheFile) {
  TempFolder dir;
  auto file = dir.path() / "out.txt";
  { std::ofstream(file, std::ios::binary) << "previous\r\n"; }
  SampleRecord r;
  r.AtribuiValor(2, "1");
  r.GravaLinha(file);
  r.GravaLinha(file);
  EXPECT_EQ(ReadAll(file), "previous\r\n" + r.RenderLine() + r.RenderLine());
}

TEST(GravaLinhaTest, CreatesAMissingFile) {
  TempFolder dir;
  auto file = dir.path() / "new.txt";
  SampleRecord r;
  r.GravaLinha(file);
  EXPECT_EQ(ReadAll(file), r.RenderLine());
}

TEST(GravaLinhaTest, ReportsAFileThatCannotBeOpenedWithTheSystemReason) {
  TempFolder dir;
  SampleRecord r;
  EXPECT_EQ(MessageOf([&] { r.GravaLinha(dir.path() / "missing" / "out.txt"); }),
            std::string("Falha na gravação no arquivo do Sintegra.\n") + std::strerror(ENOENT));
}

TEST(GravaLinhaTest, DoesNotShareTheFileWithAnotherWriter) {
  TempFolder dir;
  auto file = dir.path() / "busy.txt";
  int holder = ::open(file.c_str(), O_RDWR | O_CREAT, 0666);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  SampleRecord r;
  std::string message = MessageOf([&] { r.GravaLinha(file); });
  ::close(holder);
  EXPECT_EQ(message, std::string("Falha na gravação no arquivo do Sintegra.\n") +
                         std::strerror(EWOULDBLOCK));
  EXPECT_EQ(ReadAll(file), "");
}

}  // namespace
}  // namespace sintegra
