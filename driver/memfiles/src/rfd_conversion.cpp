#include "orvik/memfiles/rfd_conversion.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "common/clock.h"
#include "common/files.h"
#include "common/message_box.h"
#include "common/text1252.h"
#include "orvik/core/after_z.h"
#include "orvik/core/config.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/core/text_forms.h"
#include "orvik/lumvar/engine.h"
#include "orvik/lumvar/queries.h"
#include "orvik/memfiles/capture.h"
#include "orvik/memfiles/download.h"
#include "orvik/memfiles/printout_text.h"
#include "orvik/memfiles/record_store.h"
#include "orvik/memfiles/rfd_lines.h"
#include "orvik/memfiles/sintegra.h"
#include "orvik/memfiles/sintegra_month.h"
#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles {
namespace {

namespace fs = std::filesystem;
using core::State;

ConversionState& Conv() {
  static ConversionState state;
  return state;
}

// The interval of a running RFD_ConvertedaMFDData (yyyymmdd), empty otherwise.
struct Interval {
  std::string first, last;
};
std::optional<Interval>& Running() {
  static std::optional<Interval> interval;
  return interval;
}

// A conversion that cannot go on: the code answered and the message kept.
struct Stop {
  int code;
};

[[noreturn]] void Fail(int code, const std::string& message) {
  auto& s = State();
  s.last_return_code = code;
  s.last_message = message;
  core::Log("---[" + message + "]---");
  throw Stop{code};
}

// A printer command that did not answer 1 ends the conversion with its code.
void Check(int r) {
  if (r == 1) return;
  const int code = r == 0 && State().last_return_code != 0 ? State().last_return_code : r;
  throw Stop{code};
}

void MessageBox(const std::string& text) {
  common::show_message_box("", text);
  core::Log(text);
}

long ToLong(std::string_view digits) {
  long v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return -1;
    if (v > 100'000'000) return -1;
    v = v * 10 + (c - '0');
  }
  return digits.empty() ? -1 : v;
}

std::string Work(const std::string& name) {
  return PastaRFDTemp() + name;
}

void EnsureWorkingFolder() {
  const std::string folder = PastaRFDTemp();
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) throw std::runtime_error("Impossivel Criar" + folder);
}

std::string FirstLine(const std::string& path, bool& exists) {
  LineReader reader(path);
  exists = reader.ok();
  std::string line;
  if (exists) reader.Next(line);
  return line;
}

// Writes lines to path through a temporary file renamed over it, so that the file is
// either the old one or the whole new one.
void WriteWhole(const std::string& path, const std::vector<std::string>& lines) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    for (const std::string& l : lines) out << l << "\r\n";
    out.flush();
    if (!out) {
      std::error_code ec;
      fs::remove(tmp, ec);
      Fail(-8, "Erro ao gravar " + path);
    }
  }
  std::error_code ec;
  fs::rename(tmp, path, ec);
  if (ec) {
    fs::remove(tmp, ec);
    Fail(-8, "Erro ao gravar " + path);
  }
}

void AppendOrFail(const std::string& path, const std::string& line) {
  if (!AppendLine(path, line)) Fail(-8, "Erro ao gravar " + path);
}

// --- the record store between the readers and the part files ---------------------------

void PutHead(int type) {
  const ConversionState& s = Conv();
  SetField(type, head::kType, "E" + std::to_string(10 + type));
  SetField(type, head::kFabrication, s.fabrication);
  SetField(type, head::kAdditionalMf, s.additional_mf);
  SetField(type, head::kModel, s.model);
  SetField(type, head::kUser, s.user_number);
}

void StoreCoupon(const CouponRecord& c);
void StoreItem(const ItemRecord& i, long n);
void StorePayment(const PaymentRecord& p, long n);

void StoreDocument(const ReadDocument& d) {
  if (d.z) {
    using namespace e12;
    ClearRecord(2);
    PutHead(2);
    SetField(2, kCooZ, d.z->coo);
    SetField(2, kCrz, d.z->crz);
    SetField(2, kCro, d.z->cro);
    SetField(2, kMovementDate, d.z->movement_date);
    SetField(2, kIssueDate, d.z->issue_date);
    SetField(2, kIssueTime, d.z->issue_time);
    SetField(2, kGrossSales, d.z->gross_sales);
    SetField(2, kIssqnDiscount, d.z->issqn_discount);
    SetField(2, kFirstCoo, Conv().first_coo);
    GravaRegistroE(2, 0);
    long n = 0;
    for (const TotalizerRecord& t : d.totalizers) {
      ClearRecord(3);
      PutHead(3);
      SetField(3, e13::kCooZ, d.z->coo);
      SetField(3, e13::kCrz, d.z->crz);
      SetField(3, e13::kTotalizer, t.code);
      SetField(3, e13::kValue, t.value);
      GravaRegistroE(3, n++);
    }
    long a = 0, b = 0;
    for (const NamedValue& v : d.nonfiscal_totalizers) {
      ClearRecord(7);
      PutHead(7);
      SetField(7, e17::kCooZ, d.z->coo);
      SetField(7, e17::kCrz, d.z->crz);
      SetField(7, e17::kName, v.name);
      SetField(7, e17::kValue, v.value);
      GravaRegistroE(7, a++);
    }
    for (const NamedValue& v : d.payment_methods) {
      ClearRecord(8);
      PutHead(8);
      SetField(8, e18::kCooZ, d.z->coo);
      SetField(8, e18::kCrz, d.z->crz);
      SetField(8, e18::kMethod, v.name);
      SetField(8, e18::kValue, v.value);
      GravaRegistroE(8, b++);
    }
  }
  if (d.coupon) {
    StoreCoupon(*d.coupon);
    long n = 0;
    for (const ItemRecord& i : d.items) StoreItem(i, n++);
    n = 0;
    for (const PaymentRecord& p : d.payments) StorePayment(p, n++);
  }
  if (d.other) {
    using namespace e16;
    const OtherRecord& o = *d.other;
    ClearRecord(6);
    PutHead(6);
    SetField(6, kCoo, o.coo);
    SetField(6, kSecondCounter, o.second_counter);
    SetField(6, kGnf, o.gnf);
    SetField(6, kGrg, o.grg);
    SetField(6, kCdc, o.cdc);
    SetField(6, kCrz, o.crz);
    SetField(6, kDenomination, o.denomination);
    SetField(6, kDate, o.date);
    SetField(6, kTime, o.time);
    GravaRegistroE(6, 0);
  }
}

void StoreCoupon(const CouponRecord& c) {
  {
    using namespace e14;
    ClearRecord(4);
    PutHead(4);
    SetField(4, kCoo, c.coo);
    SetField(4, kCcf, c.ccf);
    SetField(4, kDate, c.date);
    SetField(4, kSubtotal, c.subtotal);
    SetField(4, kDiscount, c.discount);
    SetField(4, kDiscountKind, c.discount_kind);
    SetField(4, kSurcharge, c.surcharge);
    SetField(4, kSurchargeKind, c.surcharge_kind);
    SetField(4, kNetTotal, c.net_total);
    SetField(4, kCancelled, c.cancelled);
    SetField(4, kCancelledSurcharge, c.cancelled_surcharge);
    SetField(4, kOrder, c.order);
    SetField(4, kBuyerName, c.buyer_name);
    SetField(4, kBuyerId, c.buyer_id);
    GravaRegistroE(4, 0);
  }
}

void StoreItem(const ItemRecord& i, long n) {
  {
    using namespace e15;
    ClearRecord(5);
    PutHead(5);
    SetField(5, kCoo, i.coo);
    SetField(5, kCcf, i.ccf);
    SetField(5, kItem, i.item);
    SetField(5, kCode, i.code);
    SetField(5, kDescription, i.description);
    SetField(5, kQuantity, i.quantity);
    SetField(5, kUnit, i.unit);
    SetField(5, kUnitPrice, i.unit_price);
    SetField(5, kDiscount, i.discount);
    SetField(5, kSurcharge, i.surcharge);
    SetField(5, kNetTotal, i.net_total);
    SetField(5, kTotalizer, i.totalizer);
    SetField(5, kCancelled, i.cancelled);
    SetField(5, kCancelledQuantity, i.cancelled_quantity);
    SetField(5, kCancelledValue, i.cancelled_value);
    SetField(5, kCancelledSurcharge, i.cancelled_surcharge);
    SetField(5, kRounding, i.rounding);
    SetField(5, kQuantityDecimals, i.quantity_decimals);
    SetField(5, kPriceDecimals, i.price_decimals);
    GravaRegistroE(5, n);
  }
}

void StorePayment(const PaymentRecord& p, long n) {
  {
    using namespace e21;
    ClearRecord(11);
    PutHead(11);
    SetField(11, kCoo, p.coo);
    SetField(11, kCcf, p.ccf);
    SetField(11, kGnf, p.gnf);
    SetField(11, kMethod, p.method);
    SetField(11, kAmount, p.amount);
    SetField(11, kReversal, p.reversal);
    SetField(11, kReversedAmount, p.reversed);
    GravaRegistroE(11, n);
  }
}

std::string HeadOf(int type) {
  return EcfHead(GetField(type, head::kFabrication), GetField(type, head::kAdditionalMf),
                 GetField(type, head::kModel));
}

// The record store written out as part files "RFD" + COO + DMA code, then cleared. A part
// file is made anew at its first line of this write-out and appended to after that.
void WriteOutStore(const std::string& dma) {
  std::set<std::string> made;
  auto write = [&](const std::string& coo, const std::string& line) {
    const std::string path = Work("RFD" + DigitsField(coo, 6) + dma);
    if (made.insert(path).second) {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      if (!out) Fail(-8, "Erro ao gravar " + path);
    }
    AppendOrFail(path, line);
  };
  if (TotalRegistrosE(2) > 0) {
    LeRegistroE(2, 0);
    ZRecord z{GetField(2, e12::kCooZ),       GetField(2, e12::kCrz),
              GetField(2, e12::kCro),        GetField(2, e12::kMovementDate),
              GetField(2, e12::kIssueDate),  GetField(2, e12::kIssueTime),
              GetField(2, e12::kGrossSales), GetField(2, e12::kIssqnDiscount)};
    write(z.coo, LineE12(HeadOf(2), GetField(2, head::kUser), z));
  }
  for (long n = 0, total = TotalRegistrosE(3); n < total; ++n) {
    LeRegistroE(3, n);
    write(GetField(3, e13::kCooZ),
          LineE13(HeadOf(3), GetField(3, head::kUser), GetField(3, e13::kCrz),
                  {GetField(3, e13::kTotalizer), GetField(3, e13::kValue)}));
  }
  bool coupon_cancelled = false;
  if (TotalRegistrosE(4) > 0) {
    using namespace e14;
    LeRegistroE(4, 0);
    CouponRecord c;
    c.coo = GetField(4, kCoo);
    c.ccf = GetField(4, kCcf);
    c.date = GetField(4, kDate);
    c.subtotal = GetField(4, kSubtotal);
    c.discount = GetField(4, kDiscount);
    c.discount_kind = GetField(4, kDiscountKind);
    c.surcharge = GetField(4, kSurcharge);
    c.surcharge_kind = GetField(4, kSurchargeKind);
    c.net_total = GetField(4, kNetTotal);
    c.cancelled = GetField(4, kCancelled);
    c.cancelled_surcharge = GetField(4, kCancelledSurcharge);
    c.order = GetField(4, kOrder);
    c.buyer_name = GetField(4, kBuyerName);
    c.buyer_id = GetField(4, kBuyerId);
    coupon_cancelled = c.cancelled == "S";
    write(c.coo, LineE14(HeadOf(4), GetField(4, head::kUser), c));
  }
  for (long n = 0, total = TotalRegistrosE(5); n < total; ++n) {
    using namespace e15;
    LeRegistroE(5, n);
    ItemRecord i;
    i.coo = GetField(5, kCoo);
    i.ccf = GetField(5, kCcf);
    i.item = GetField(5, kItem);
    i.code = GetField(5, kCode);
    i.description = GetField(5, kDescription);
    i.quantity = GetField(5, kQuantity);
    i.unit = GetField(5, kUnit);
    i.unit_price = GetField(5, kUnitPrice);
    i.discount = GetField(5, kDiscount);
    i.surcharge = GetField(5, kSurcharge);
    i.net_total = GetField(5, kNetTotal);
    i.totalizer = GetField(5, kTotalizer);
    i.cancelled = GetField(5, kCancelled);
    i.cancelled_quantity = GetField(5, kCancelledQuantity);
    i.cancelled_value = GetField(5, kCancelledValue);
    i.cancelled_surcharge = GetField(5, kCancelledSurcharge);
    i.rounding = GetField(5, kRounding);
    i.quantity_decimals = GetField(5, kQuantityDecimals);
    i.price_decimals = GetField(5, kPriceDecimals);
    write(i.coo, LineE15(HeadOf(5), GetField(5, head::kUser), i, coupon_cancelled));
  }
  for (long n = 0, total = TotalRegistrosE(11); n < total; ++n) {
    using namespace e21;
    LeRegistroE(11, n);
    PaymentRecord p{GetField(11, kCoo),           GetField(11, kCcf),    GetField(11, kGnf),
                    GetField(11, kMethod),        GetField(11, kAmount), GetField(11, kReversal),
                    GetField(11, kReversedAmount)};
    write(p.coo, LineE21(HeadOf(11), GetField(11, head::kUser), p));
  }
  if (TotalRegistrosE(6) > 0) {
    using namespace e16;
    LeRegistroE(6, 0);
    OtherRecord o{GetField(6, kCoo),          GetField(6, kSecondCounter), GetField(6, kGnf),
                  GetField(6, kGrg),          GetField(6, kCdc),           GetField(6, kCrz),
                  GetField(6, kDenomination), GetField(6, kDate),          GetField(6, kTime)};
    write(o.coo, LineE16(HeadOf(6), GetField(6, head::kUser), o));
  }
  for (long n = 0, total = TotalRegistrosE(7); n < total; ++n) {
    LeRegistroE(7, n);
    write(GetField(7, e17::kCooZ),
          LineE17(HeadOf(7), GetField(7, head::kUser), GetField(7, e17::kCrz),
                  {GetField(7, e17::kName), GetField(7, e17::kValue)}));
  }
  for (long n = 0, total = TotalRegistrosE(8); n < total; ++n) {
    LeRegistroE(8, n);
    write(GetField(8, e18::kCooZ),
          LineE18(HeadOf(8), GetField(8, head::kUser), GetField(8, e18::kCrz),
                  {GetField(8, e18::kMethod), GetField(8, e18::kValue)}));
  }
  ApagaRegistrosE();
}

// --- steps --------------------------------------------------------------------------------

std::string RateKindParameter(int slot, const std::string& crz) {
  return "NomeIndicador=\"Aliquota" + DigitsField(std::to_string(slot), 2) + "ICMSReducao[" + crz +
         "]\"";
}

std::string RateParameter(int slot, const std::string& crz) {
  return "NomeDadoMonetario=\"Aliquota" + DigitsField(std::to_string(slot), 2) + "Reducao[" + crz +
         "]\"";
}

// Rates of storage mode: five characters a slot from the first line of ALQ_nnnn.TXT.
void RatesFromFile(const std::string& crz) {
  const std::string path = Work("ALQ_" + DigitsField(crz, 4) + ".TXT");
  bool exists = false;
  const std::string line = FirstLine(path, exists);
  if (!exists) Fail(-8, "Arquivo inexistente: " + path);
  ConversionState& s = Conv();
  size_t slot = 0;
  for (size_t at = 0; at + 5 <= line.size(); at += 5) {
    const std::string piece = line.substr(at, 5);
    if (common::trim(piece).empty()) continue;
    const bool valid = (piece[0] == 'T' || piece[0] == 'S') && DigitsOf(piece).size() == 4;
    if (slot >= s.slots.size() || !valid) {
      core::Log("Aliquota ignorada em " + path + ": " + piece);
      ++slot;
      continue;
    }
    s.slots[slot++] = piece;
  }
}

void DebugRates() {
  static const char* kDebugSlots[] = {"T0700", "T1200", "T1800", "T2500", "S0203",
                                      "T0800", "T1320", "T2600", "T0012", "T9999",
                                      "T8000", "T6000", "T4000", "T2000"};
  ConversionState& s = Conv();
  for (int i = 0; i < 14; ++i) s.slots[i + 1] = kDebugSlots[i];
  s.first_coo = "700";
  s.rate_numbers_from_one = true;
  MessageBox("Modo Debug1 iCountAliq=(1)- Nao deve ser usado em producao");
}

// Downloads the day's tape and reads its rates from the printer.
void FromPrinter(const std::string& crz, long crz_number) {
  auto& st = State();
  Check(lumvar::ExecuteLumvar("LeInteiro", "NomeInteiro=\"COOReducao[" + crz + "]\""));
  const std::string coo_z = StripLeadingZeros(st.read_value);
  std::string first = "1";
  if (crz_number >= 2) {
    Check(lumvar::ExecuteLumvar(
        "LeInteiro", "NomeInteiro=\"COOReducao[" + std::to_string(crz_number - 1) + "]\""));
    first = std::to_string(ToLong(DigitsOf(st.read_value)) + 1);
  }
  const std::string detorg = Work("DETORG.TXT");
  Check(DownloadMfd(detorg, "2", first, coo_z.empty() ? "0" : coo_z, ""));
  ConversionState& s = Conv();
  s.first_coo = first;
  for (int slot = 0; slot < 16; ++slot) {
    Check(lumvar::ExecuteLumvar("LeIndicador", RateKindParameter(slot, crz)));
    const std::string kind = st.read_value == "11" ? "T" : "S";
    Check(lumvar::ExecuteLumvar("LeMoeda", RateParameter(slot, crz)));
    s.slots[slot] = kind + DigitsField(st.read_value, 4);
  }
  if (!ConverteCaptura(detorg, false, Work("DETALHE.TXT")))
    Fail(-8, "Erro ao gravar " + Work("DETALHE.TXT"));
  if (!CopyFileWhole(Work("DETALHE.TXT"), Work("DET_" + crz + ".TXT")))
    Fail(-8, "Erro ao gravar " + Work("DET_" + crz + ".TXT"));
  // The owner number of the record heads.
  if (lumvar::ExecuteLumvar("LeInteiro", "NomeInteiro=\"ContadorProprietarios\"") == 1)
    s.user_number = DigitsField(st.read_value, 2);
}

void ReadHeaderFrom(const std::string& path) {
  LineReader reader(path);
  HeaderReader header(Conv());
  std::string line;
  while (reader.Next(line))
    if (!header.Line(line)) break;
}

void FirstPass(const std::string& detalhe) {
  ConversionState& s = Conv();
  LineReader reader(detalhe);
  if (!reader.ok()) Fail(-8, "Arquivo inexistente: " + detalhe);
  HeaderReader header(s);
  FirstPassReader first(s, State().rfd_storage, [](const std::string& t) { core::Log(t); });
  std::string line;
  bool in_header = true;
  while (reader.Next(line)) {
    if (in_header) in_header = header.Line(line);
    first.Line(line);
  }
  if (reader.error()) Fail(-8, "Erro ao ler " + detalhe);
  if (reader.cut_lines())
    core::Log("Linhas longas cortadas em " + detalhe + ": " + std::to_string(reader.cut_lines()));
  if (s.movement_date.empty() || !IsCalendarDate(s.movement_date))
    Fail(-8, "Data de movimento nao encontrada em " + detalhe);
  if (DmaCode(s.movement_date).empty()) Fail(-8, "Data de movimento invalida: " + s.movement_date);
  if (!first.fabrication_seen())
    Fail(-8, "Numero de fabricacao (FAB:) nao encontrado em " + detalhe);
}

void SecondPass(const std::string& detalhe, const std::string& dma, bool ask_printer) {
  ConversionState& s = Conv();
  ApagaRegistrosE();
  LineReader reader(detalhe);
  if (!reader.ok()) Fail(-8, "Arquivo inexistente: " + detalhe);
  auto issqn = [ask_printer]() -> std::string {
    if (!ask_printer) return "N";
    if (lumvar::ExecuteLumvar("LeInteiro", "NomeInteiro=\"PermiteISS\"") != 1) return "N";
    const std::string& raw = State().raw_result;
    return raw.size() >= 15 && raw.substr(13, 2) == "15" ? "S" : "N";
  };
  DocumentReader documents(
      s,
      [&dma](ReadDocument& d) {
        StoreDocument(d);
        if (sintegra::Active() && !AppendSintegraLines(Conv(), d))
          Fail(-8, "Erro ao gravar " + sintegra::SintPath());
        WriteOutStore(dma);
      },
      [](const std::string& t) { core::Log(t); }, issqn);
  std::string line;
  while (reader.Next(line)) documents.Line(line);
  if (reader.error()) Fail(-8, "Erro ao ler " + detalhe);
  documents.Finish();
}

void Consolidate(const std::string& dma) {
  const std::string rfd_dat = Work("RFD.DAT");
  core::Log("***(CMD1)  Consolidando RFD.DAT ***RFD*" + dma);
  DeleteFileIfPresent(rfd_dat);
  std::vector<std::string> parts;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(PastaRFDTemp(), ec)) {
    const std::string name = entry.path().filename().string();
    if (name == "RFD.DAT" || !entry.is_regular_file(ec)) continue;
    if (name.size() > 3 + dma.size() && name.starts_with("RFD") && name.ends_with(dma))
      parts.push_back(entry.path().string());
  }
  std::sort(parts.begin(), parts.end());
  { std::ofstream touch(rfd_dat, std::ios::binary | std::ios::app); }
  for (const std::string& part : parts) {
    core::Log("***(CMD1A):Lendo " + part + " ***");
    LineReader reader(part);
    std::string line;
    while (reader.Next(line))
      if (!line.empty()) AppendOrFail(rfd_dat, line);
    DeleteFileIfPresent(part);
  }
  core::Log("***(CMD2)  FIM PROCESSAMENTO LEITURA DE MFD ***");
}

void FiscalMemoryReading(const std::string& crz) {
  auto& st = State();
  const std::string path = Work("LEITMF.TXT");
  std::error_code ec;
  if (st.rfd_storage || (!st.rfd_emit_lmf && fs::exists(path, ec))) return;
  Check(lumvar::ExecuteLumvar(
      "EmiteLeituraMF",
      "Destino=\"S\" LeituraSimplificada=false ReducaoInicial=" + crz + " ReducaoFinal=" + crz));
  Check(CapturaParaArquivo(path));
}

std::string E11FromFile(const std::string& crz) {
  const std::string path = Work("E11_" + DigitsField(crz, 4) + ".TXT");
  bool exists = false;
  const std::string l = FirstLine(path, exists);
  if (!exists) Fail(-8, "Arquivo inexistente: " + path);
  if (l.size() < 74) Fail(-8, "Arquivo invalido: " + path);
  return "E11" + EcfHead(Conv()) + l.substr(0, 30) + std::string(12, '0') + l.substr(30, 6) +
         std::string(6, '0') + l.substr(36, 24) + l.substr(64, 4) + l.substr(62, 2) +
         l.substr(60, 2) + l.substr(68, 6);
}

std::string E11FromPrinter() {
  auto& st = State();
  Counters c;
  auto read = [](int index, std::string& into) {
    Check(lumvar::ReadRegister(index));
    into = State().return_value;
  };
  read(9, c.crz);
  read(10, c.cro);
  read(6, c.coo);
  read(7, c.gnf);
  read(55, c.ccf);
  read(54, c.grg);
  read(56, c.cfd);
  read(3, c.gt);
  Check(lumvar::PrinterDateTime());
  const std::string d = DigitsField(st.return_value, 6);  // ddmmyy
  c.date = "20" + d.substr(4, 2) + d.substr(2, 2) + d.substr(0, 2);
  c.time = st.second_return_value;
  return LineE11(EcfHead(Conv()), c);
}

SoftwareHouse ReadSoftwareHouse() {
  common::IniFile ini = core::Config();
  auto key = [&](const char* k) { return ini.read("SoftwareHouse", k, ""); };
  return {key("CNPJ"),           key("IE"),     key("IM"),  key("RazaoSocial"),
          key("NomeAplicativo"), key("Versao"), key("COO"), key("NumeroAplicativo"),
          key("Linha1"),         key("Linha2")};
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  LineReader reader(path);
  std::string line;
  while (reader.Next(line))
    if (!line.empty()) lines.push_back(line);
  return lines;
}

int ConvertOne(const std::string& crz_text) {
  auto& st = State();
  Conv() = ConversionState{};
  EnsureWorkingFolder();
  const std::string crz = DigitsOf(crz_text);
  const long crz_number = ToLong(crz);
  if (crz.empty() || crz.size() != common::trim(crz_text).size() || crz_number < 1)
    Fail(-8, "CRZ invalido: " + std::string(crz_text));
  ConversionState& s = Conv();
  const bool debug = st.debug;
  const std::string detalhe = Work("DETALHE.TXT");

  // 2. Rates and the day's tape.
  if (st.rfd_storage) {
    RatesFromFile(crz);
  } else if (debug) {
    DebugRates();
  } else {
    FromPrinter(crz, crz_number);
  }

  // 3. The Z of the day.
  FirstPass(detalhe);
  if (Running() && (s.movement_date < Running()->first || s.movement_date > Running()->last))
    return 1;
  if ((s.owner_name.empty() || s.owner_address.empty()) && !debug) {
    const std::string impressao = st.path_directory + "IMPRESSAO.TXT";
    if (lumvar::ExecuteLumvar("EmiteLeituraX", "Destino=\"S\"") == 1 &&
        CapturaParaArquivo(impressao) == 1) {
      ReadHeaderFrom(impressao);
    } else {
      core::Log("Leitura X para o cabecalho falhou");
    }
    DeleteFileIfPresent(impressao);
  }
  const std::string dma = DmaCode(s.movement_date);

  // 4-5. Documents into part files, then into RFD.DAT.
  SecondPass(detalhe, dma, !debug && !st.rfd_storage);
  Consolidate(dma);
  const std::string rfd_dat = Work("RFD.DAT");

  // 6-7. Fiscal-memory reading and the counters.
  if (debug) {
    MessageBox("Modo Debug2 - Nao deve ser usado em producao");
  } else {
    FiscalMemoryReading(crz);
    if (st.tdm_flag) {
      core::Log("***(CMD3)  Gerando E11 ***");
      AppendOrFail(rfd_dat, st.rfd_storage ? E11FromFile(crz) : E11FromPrinter());
    }
  }

  // 8. Owner, software, restarts and tapes from the fiscal-memory reading.
  const std::string leitmf = Work("LEITMF.TXT");
  {
    LineReader reader(leitmf);
    if (reader.ok()) {
      FiscalMemoryReader memory(
          s, [&](const std::string& l) { AppendOrFail(rfd_dat, l); },
          [](const std::string& t) { core::Log(t); });
      std::string line;
      while (reader.Next(line)) memory.Line(line);
      if (memory.owner_written() && sintegra::Active())
        sintegra::SetOwner(s.owner_cnpj, s.owner_ie);
    } else {
      core::Log("LEITMF.TXT inexistente: sem E02 e E05 a E10");
    }
  }

  // 9-10. E00, E01 and the final name.
  const std::string name = FinalFileName(s, st.tdm_flag, [] {
    const auto t = common::clock::local_now();
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d", t.hour % 100, t.minute % 100, t.second % 100);
    return std::string(buf);
  }());
  const std::string final_work = Work(name);
  long first = crz_number, last = crz_number;
  std::vector<std::string> old_lines;
  std::error_code ec;
  if (fs::exists(final_work, ec)) {
    old_lines = ReadLines(final_work);
    for (const std::string& l : old_lines)
      if (l.starts_with("E01")) WidenCrzRange(l, first, last);
  }
  AppendOrFail(rfd_dat, LineE00(s, ReadSoftwareHouse()));
  AppendOrFail(rfd_dat, LineE01(s, st.tdm_flag, std::to_string(first), std::to_string(last)));
  core::Log("***(CMD4)  Antes Ordenacao ***");

  // 11. Merge, copy, done.
  const std::vector<std::string> merged = MergeLines(ReadLines(rfd_dat), old_lines, st.tdm_flag);
  WriteWhole(final_work, merged);
  std::string target_folder = st.path_rfd;
  fs::create_directories(target_folder, ec);
  if (!fs::is_directory(target_folder, ec)) Fail(-8, "Impossivel Criar" + target_folder);
  WriteWhole(target_folder + name, merged);
  DeleteFileIfPresent(rfd_dat);
  core::Log("***(CMD5)  FIM ***");
  return 1;
}

}  // namespace

std::string FinalFileName(const ConversionState& s, bool tdm, const std::string& hhmmss) {
  const std::string fab(common::trim(s.fabrication));
  if (tdm) return s.Prefix() + LastChars(fab, 6) + DmaCode(s.movement_date);
  return fab + "_" + s.movement_date + "_" + hhmmss + ".TXT";
}

void WidenCrzRange(const std::string& old_e01, long& first, long& last) {
  if (old_e01.size() < 127) return;
  const long old_first = ToLong(old_e01.substr(115, 6));
  const long old_last = ToLong(old_e01.substr(121, 6));
  if (old_first > 0) first = std::min(first, old_first);
  if (old_last > 0) last = std::max(last, old_last);
}

std::vector<std::string> MergeLines(std::vector<std::string> lines,
                                    const std::vector<std::string>& old_lines, bool tdm) {
  auto number = [](const std::string& l) { return l.size() >= 3 ? ToLong(l.substr(1, 2)) : -1; };
  for (const std::string& l : old_lines)
    if (number(l) >= 12) lines.push_back(l);
  std::sort(lines.begin(), lines.end());
  std::vector<std::string> out;
  for (std::string& l : lines) {
    if (!out.empty() && out.back() == l) continue;
    const long n = number(l);
    if (!tdm && !(n < 3 || n > 11)) continue;
    out.push_back(std::move(l));
  }
  return out;
}

bool CrzRangeOfReading(const std::vector<std::string>& lines, long& first, long& last) {
  bool after = false, found = false;
  for (const std::string& line : lines) {
    if (!after) {
      after = Contains(line, Label("REDUÇÕES DIÁRIAS"));
      continue;
    }
    if (line.size() < 5 || line[4] != ' ') continue;
    const long n = ToLong(line.substr(0, 4));
    if (n < 0) continue;
    if (!found || n < first) first = n;
    if (!found || n > last) last = n;
    found = true;
    core::Log("***Lido(" + std::to_string(first) + "," + std::to_string(last) + ")=>" + line);
  }
  return found;
}

int ConverteMfd(const std::string& crz) {
  try {
    return ConvertOne(crz);
  } catch (const Stop& stop) {
    DeleteFileIfPresent(Work("RFD.DAT"));
    return stop.code;
  } catch (const std::exception&) {
    // A record-store file that could not be written or read goes up to the export as an
    // error; the last return code says so too, rather than the last command's success.
    State().last_return_code = -8;
    DeleteFileIfPresent(Work("RFD.DAT"));
    throw;
  }
}

int ConvertAfterZ(int crz) {
  // The Z has been printed whatever happens here: nothing may escape into its answer.
  try {
    return ConverteMfd(std::to_string(crz));
  } catch (const std::exception& e) {
    State().last_message = e.what();
    core::Log(std::string("---[") + e.what() + "]---");
    return 0;
  }
}

void RegisterAfterZConversion() {
  core::SetAfterZConversion(&ConvertAfterZ);
}

int ConverteMfdData(const std::string& first_text, const std::string& last_text) {
  auto& st = State();
  const std::string first = core::FormatDate(first_text), last = core::FormatDate(last_text);
  auto ymd = [](const std::string& dmy) {
    const std::string d = DigitsOf(dmy);
    return d.size() == 8 ? d.substr(4, 4) + d.substr(2, 2) + d.substr(0, 2) : std::string();
  };
  if (!IsCalendarDate(ymd(first)) || !IsCalendarDate(ymd(last))) {
    st.last_return_code = -8;
    st.last_message = "Data invalida: " + first_text + " a " + last_text;
    return -8;
  }
  Running() = Interval{ymd(first), ymd(last)};
  struct Restore {
    ~Restore() {
      State().rfd_emit_lmf = true;
      Running().reset();
    }
  } restore;

  long low = 0, high = 0;
  bool extra = true;
  if (st.debug) {
    low = high = 121;
    extra = false;
  } else {
    const std::string path = st.path_directory + "LEITMF.TXT";
    int r = lumvar::ExecuteLumvar("EmiteLeituraMF",
                                  "Destino=\"S\" LeituraSimplificada=false "
                                  "DataInicial=#" +
                                      first + "# DataFinal=#" + last + "#");
    if (r == 1) r = CapturaParaArquivo(path);
    bool found = false;
    if (r == 1) {
      core::Log("***(CMD) Analisando arq:" + path);
      found = CrzRangeOfReading(ReadLines(path), low, high);
    }
    if (!found) {
      if (st.last_return_code != 8089) {
        if (r == 1) {
          // The reading came back without any reduction: nothing to convert.
          st.last_return_code = 8089;
          st.last_message = "ErroCMDDataInvalida - Data solicitada inexistente.";
          return 8089;
        }
        return r == 0 && st.last_return_code ? st.last_return_code : r;
      }
      // No Z in the interval: the first Z after it, if there is one.
      long z_count = 0;
      int q = lumvar::ReadRegister(9);
      if (q == 1) z_count = ToLong(DigitsOf(st.return_value));
      long hit = 0;
      for (long n = 1; q == 1 && n <= z_count; ++n) {
        q = lumvar::ExecuteLumvar("LeData", "NomeData=\"DataReducao[" + std::to_string(n) + "]\"");
        if (q != 1) break;
        if (ymd(core::FormatDate(st.read_value)) > ymd(last)) {
          hit = n;
          break;
        }
      }
      if (hit == 0) {
        st.last_return_code = 8089;
        st.last_message = "ErroCMDDataInvalida - Data solicitada inexistente.";
        return 8089;
      }
      low = high = hit;
    }
  }
  st.rfd_emit_lmf = false;
  sintegra::DeleteWorkingFiles();
  // Debug mode converts the tape and the reading already in the working folder.
  if (!st.debug) {
    DeleteFileIfPresent(Work("LEITMF.TXT"));
    ApagaArquivos();
  }
  if (st.debug) MessageBox("Modo Debug3 - Nao deve ser usado em producao");
  int result = 1;
  for (long crz = low; crz <= high + (extra ? 1 : 0); ++crz) {
    result = ConverteMfd(std::to_string(crz));
    if (result == 1) continue;
    if (extra && crz == high + 1 && st.last_return_code == 1001) {
      result = 1;
      st.last_return_code = 0;
      st.last_message.clear();
    }
    break;
  }
  if (result == 1 && sintegra::Active()) {
    if (!sintegra::DeriveSummaries()) {
      st.last_return_code = -8;
      st.last_message = "Erro ao gravar " + sintegra::SintPath();
      return -8;
    }
    if (auto error = sintegra::Assemble()) {
      st.last_return_code = -8;
      st.last_message = *error;
      return -8;
    }
  }
  return result;
}

const ConversionState& LastConversionState() {
  return Conv();
}

int SetaStorage(int storage) {
  State().rfd_storage = storage != 0;
  return 1;
}

int SetaEmiteLmf(int emit) {
  State().rfd_emit_lmf = emit != 0;
  if (emit == 0) DeleteFileIfPresent(Work("LEITMF.TXT"));
  return 1;
}

int SetaTdmFlag(int tdm) {
  State().tdm_flag = tdm != 0;
  return 1;
}

int ApagaArquivos() {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(PastaRFDTemp(), ec)) {
    std::error_code e2;
    if (entry.is_regular_file(e2)) fs::remove(entry.path(), e2);
  }
  return 1;
}

}  // namespace orvik::memfiles
