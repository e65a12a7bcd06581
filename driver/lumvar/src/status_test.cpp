#include "orvik/lumvar/status.h"

#include "queries_test_peer.h"

namespace orvik::lumvar {
namespace {

class Status : public testing::ScriptedPeer {
 protected:
  void Indicator(const std::string& name, const std::string& digits) {
    Ok("LeIndicador", "NomeIndicador=\"" + name + "\"",
       "ValorNumericoIndicador=" + digits.substr(0, 1) + " ValorIndicador=" + digits.substr(1));
  }
  void Integer(const std::string& name, const std::string& value) {
    Ok("LeInteiro", "NomeInteiro=\"" + name + "\"", "ValorInteiro=" + value);
  }
  void FiscalState(const std::string& name) {
    Ok("LeTexto", "NomeTexto=\"NomeEstadoFiscal\"", "ValorTexto=\" " + name + " \"");
  }
};

TEST_F(Status, StatusTripleKeepsOtherBitsAndSetsCouponAndPaper) {
  const struct {
    const char *doc, *out, *low;
    int st1_before, st2_before, st1, st2;
    size_t reads;
  } cases[] = {
      {"3", "00", "11", 0, 0, 2 | 64, 0, 3},
      {"0", "11", "11", 2 | 64 | 8, 4 | 1, 128 | 8, 1, 2},  // paper out: near-end not read
      {"0", "00", "00", 128 | 2 | 32, 0, 32, 0, 3},
  };
  for (const auto& c : cases) {
    sent.clear();
    Integer("TipoDocEmEmissao", c.doc);
    Indicator("SemPapel", c.out);
    Indicator("SensorPoucoPapel", c.low);
    core::State().st1 = c.st1_before;
    core::State().st2 = c.st2_before;
    int ack = -1, st1 = -1, st2 = -1;
    EXPECT_EQ(PrinterStatus(&ack, &st1, &st2), 1);
    EXPECT_EQ(ack, 6);
    EXPECT_EQ(st1, c.st1);
    EXPECT_EQ(st2, c.st2);
    EXPECT_EQ(sent.size(), c.reads);
  }
  char a[8], b[8], c[8];
  EXPECT_EQ(PrinterStatusText(a, b, c), 1);
  EXPECT_STREQ(a, "6");
}

TEST_F(Status, AFailedPaperReadLeavesTheOutputsAlone) {
  Error("LeIndicador", "NomeIndicador=\"SemPapel\"", 8003);
  int ack = -1, st1 = -1, st2 = -1;
  EXPECT_EQ(PrinterStatus(&ack, &st1, &st2), 0);
  EXPECT_EQ(ack, -1);
  EXPECT_EQ(st1, -1);
}

TEST_F(Status, FiscalFlags) {
  const struct {
    const char *doc, *closed, *state, *last, *dst;
    int flags;
  } cases[] = {
      {"3", "00", "ESTADO_VENDA", "0", "00", 1 | 32},
      {"3", "00", "ESTADO_PAGAMENTO", "0", "11", 1 | 2 | 4 | 32},
      {"0", "11", "ESTADO_DIA_FECHADO", "2", "00", 8},
      {"0", "00", "ESTADO_LIVRE", "3", "00", 32},
  };
  for (const auto& c : cases) {
    Integer("TipoDocEmEmissao", c.doc);
    Indicator("DiaFechado", c.closed);
    FiscalState(c.state);
    Integer("TipoUltimoDocEmitido", c.last);
    Indicator("HorarioVerao", c.dst);
    int flags = -1;
    EXPECT_EQ(FiscalFlags(&flags), 1);
    EXPECT_EQ(flags, c.flags) << c.state;
  }
  EXPECT_EQ(FiscalFlagsText(), 1);
  EXPECT_EQ(core::State().return_value, "032");
  Error("LeIndicador", "NomeIndicador=\"DiaFechado\"", 8003);
  int flags = -1;
  EXPECT_EQ(FiscalFlags(&flags), 0);
  EXPECT_EQ(flags, 0);
}

TEST_F(Status, ExtendedStatusByFiscalState) {
  const struct {
    const char* state;
    int status;
  } cases[] = {{"ESTADO_TOTALIZANDO", 8}, {"ESTADO_PAGAMENTO", 8},     {"ESTADO_GERENCIAL", 4},
               {"ESTADO_VINCULADO", 2},   {"ESTADO_VENDA_NFISCAL", 1}, {"ESTADO_LIVRE", 0}};
  for (const auto& c : cases) {
    FiscalState(c.state);
    int status = -1;
    EXPECT_EQ(ExtendedStatus(&status), 1);
    EXPECT_EQ(status, c.status) << c.state;
  }
}

TEST_F(Status, IndicatorsAndPendingZ) {
  Integer("Indicadores", "192");
  int value = 0, pending = 0;
  EXPECT_EQ(Indicators(&value), 1);
  EXPECT_EQ(value, 192);
  EXPECT_EQ(ZPending(&pending), 1);
  EXPECT_EQ(pending, 1);
  Integer("Indicadores", "64");
  EXPECT_EQ(ZPending(&pending), 1);
  EXPECT_EQ(pending, 0);
}

TEST_F(Status, DrawerWithItsPolarityAndThePrinterOnTest) {
  const struct {
    const char* mode;
    bool fails;
    const char* sensor;
    int state, result;
  } cases[] = {{"0", false, "11", 1, 1},
               {"1", false, "11", 0, 1},
               {"1", false, "00", 1, 1},
               {"0", true, "", 0, 0},
               {"1", true, "", 1, 0}};
  for (const auto& c : cases) {
    core::State().modo_gaveta = c.mode;
    if (c.fails)
      Error("LeIndicador", "NomeIndicador=\"SensorGaveta\"", 8003);
    else
      Indicator("SensorGaveta", c.sensor);
    int state = -1;
    EXPECT_EQ(DrawerState(&state), c.result);
    EXPECT_EQ(state, c.state) << c.mode << c.sensor;
    EXPECT_EQ(PrinterOn(), c.fails ? -6 : 1);
  }
}

TEST_F(Status, OperationModeTruncationSensorAndType) {
  Indicator("IntervencaoTecnica", "11");
  EXPECT_EQ(OperationMode(), 1);
  EXPECT_EQ(core::State().return_value, "0");
  Indicator("IntervencaoTecnica", "00");
  EXPECT_EQ(OperationMode(), 1);
  EXPECT_EQ(core::State().return_value, "1");

  Integer("Arredondamento", "1");
  EXPECT_EQ(Truncation(), 1);
  EXPECT_EQ(core::State().return_value, "1");
  Integer("Arredondamento", "10");
  EXPECT_EQ(Truncation(), 1);
  EXPECT_EQ(core::State().return_value, "0");

  Error("LeIndicador", "NomeIndicador=\"SensorPoucoPapel\"", 8003);
  EXPECT_EQ(LowPaperSensor(), 0);
  EXPECT_EQ(core::State().return_value, "0");

  int type = 0;
  EXPECT_EQ(PrinterType(&type), 1);
  EXPECT_EQ(type, 1);
  EXPECT_EQ(PrinterTypeText(), 1);
  EXPECT_EQ(core::State().return_value,
            "Impressora fiscal, gaveta, autentica\xE7"
            "ao.");
}

}  // namespace
}  // namespace orvik::lumvar
