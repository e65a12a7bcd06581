#include "store/conversions.h"

#include <gtest/gtest.h>

#include "store/entities.h"

namespace store {
namespace {

struct ConversionCase {
  const char* conversion;
  std::string input;
  int decimals;
  std::string expected;
};

std::string apply(const ConversionCase& c) {
  std::string name = c.conversion;
  if (name == "Formata") return FormataCasasDecimais(c.input, c.decimals);
  if (name == "Remove") return RemoveCasasDecimais(c.input);
  return ValorSemVirgula(c.input);
}

TEST(Conversions, DisplayAndStorageForms) {
  const ConversionCase cases[] = {
      {"Formata", "5", 2, "0,05"},
      {"Formata", "12", 2, "0,12"},
      {"Formata", "123", 2, "1,23"},
      {"Formata", "5", 3, "0,005"},
      {"Formata", "", 3, "0,000"},
      {"Formata", "", 2, "0,00"},
      {"Formata", "1,5", 2, "1,5"},
      {"Formata", "1.5", 3, "1.5"},
      {"Formata", "123456", 3, "123,456"},
      {"Formata", "0012", 2, "00,12"},
      {"Remove", "1,23", 0, "123"},
      {"Remove", "1.23", 0, "123"},
      {"Remove", "123", 0, "123"},
      {"Remove", "1.234,56", 0, "1.23456"},
      {"Remove", "", 0, ""},
      {"Sem", "0", 0, "000"},
      {"Sem", "12", 0, "1200"},
      {"Sem", "12,5", 0, "1250"},
      {"Sem", "12,34", 0, "1234"},
      {"Sem", "0,5", 0, "050"},
  };
  for (const ConversionCase& c : cases)
    EXPECT_EQ(apply(c), c.expected)
        << c.conversion << "(\"" << c.input << "\", " << c.decimals << ")";
}

TEST(PasswordDigest, Md5AsLowerCaseHex) {
  EXPECT_EQ(MD5(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(MD5("admin"), "21232f297a57a5a743894a0e4a801fc3");
  EXPECT_EQ(MD5("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
  // Typed passwords are digested in Windows-1252, the bytes the database holds.
  EXPECT_EQ(DigestoSenha("ação"), MD5("a\xe7\xe3o"));
}

TEST(PasswordDigest, UserGetsDigestOnlyForNonEmptyPassword) {
  EXPECT_EQ(TUsuario(0, 0, "", "joao", "João").SENHA, "");
  std::string senha = TUsuario(0, 0, "segredo", "joao", "João").SENHA;
  ASSERT_EQ(senha.size(), 32u);
  EXPECT_EQ(senha.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(TUsuario(0, 0, "x", "joão", "João").LOGIN_USUARIO, "JOÃO");
}

TEST(DatabaseErrorMessages, ThreeMessagesByCode) {
  EXPECT_EQ(TEBancoDados(-803).MensagemCom("123"),
            "O item \"123\" já está cadastrado na base de dados.\nPara inseri-lo exclua-o da "
            "base de dados e execute essa operação novamente.");
  EXPECT_EQ(TEBancoDados(119).MensagemCom("Arroz"),
            "Não foi possível realizar a operação para o item \"Arroz\".\nAlguma informação "
            "ultrapassou o limite de caracteres esperado no campo do banco de dados.");
  EXPECT_EQ(std::string(TEBancoDados(-901).what()),
            "Ocorreu um erro durante a execução dessa operação.\nPor favor, entre em contato "
            "com o administrador do sistema.");
  EXPECT_EQ(TEBancoDados(-901).ErrorCode(), -901);
  // The message keeps "%s" for the caller.
  EXPECT_NE(std::string(TEBancoDados(-803).what()).find("\"%s\""), std::string::npos);
}

TEST(LogLines, PatternsKeepTheBlankAfterTheWord) {
  EXPECT_EQ(LinhaSucesso("spAlterarBase - id: 1"), "spAlterarBase - id: 1 - Sucesso! ");
  EXPECT_EQ(LinhaSucesso("spInserirNotaFiscal:"), "spInserirNotaFiscal: - Sucesso! ");
  EXPECT_EQ(LinhaFalha("spInserirNotaFiscal: "), "spInserirNotaFiscal:  - Falha: ");
  EXPECT_EQ(LinhaFalha("spInserirBase", "erro"), "spInserirBase - Falha: erro");
}

}  // namespace
}  // namespace store
