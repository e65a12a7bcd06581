#pragma once
// The record lines of the RFD file (E00 to E21): fixed widths, numbers as digits fields
// (zero-filled on the left), texts as text fields (blank-filled on the right).
#include <string>

#include "orvik/memfiles/printout_readers.h"

namespace orvik::memfiles {

// The application vendor of E00 (section SoftwareHouse of the configuration).
struct SoftwareHouse {
  std::string cnpj, ie, im, name, application, version, coo, number, line1, line2;
};

// Fabrication number (20), additional-MF letter (1), model (20).
std::string EcfHead(const std::string& fabrication, const std::string& additional_mf,
                    const std::string& model);
std::string EcfHead(const ConversionState& s);

std::string LineE00(const ConversionState& s, const SoftwareHouse& vendor);
// command "TDM" with the flag on, "MFD" off; the CRZ range and the movement date twice.
std::string LineE01(const ConversionState& s, bool tdm, const std::string& first_crz,
                    const std::string& last_crz);
std::string LineE02(const ConversionState& s);
std::string LineE05(const std::string& head, const std::string& cnpj, const std::string& date,
                    const std::string& time, const std::string& letters);
std::string LineE06(const std::string& head, const std::string& cnpj, const std::string& date,
                    const std::string& time, const std::string& symbol);
std::string LineE07(const std::string& head, const std::string& version, const std::string& date);
std::string LineE08(const std::string& head, const std::string& cnpj, const std::string& serial);
std::string LineE09(const std::string& head, const std::string& cro, const std::string& date,
                    const std::string& time, const std::string& indicator);
std::string LineE10(const std::string& head, const std::string& counter, const std::string& date,
                    const std::string& first_coo, const std::string& last_coo,
                    const std::string& cnpj);
// E11 from the counters: CRZ, CRO, COO, GNF, CCF, GRG, CFD, GT, date, time.
struct Counters {
  std::string crz, cro, coo, gnf, ccf, grg, cfd, gt, date, time;
};
std::string LineE11(const std::string& head, const Counters& c);
std::string LineE12(const std::string& head, const std::string& user, const ZRecord& z);
std::string LineE13(const std::string& head, const std::string& user, const std::string& crz,
                    const TotalizerRecord& t);
// The net total is written as subtotal + surcharge - discount.
std::string LineE14(const std::string& head, const std::string& user, const CouponRecord& c);
// Items of a cancelled coupon are written "N"; an empty description as "ERRO DESCRICAO".
std::string LineE15(const std::string& head, const std::string& user, const ItemRecord& i,
                    bool coupon_cancelled);
std::string LineE16(const std::string& head, const std::string& user, const OtherRecord& o);
std::string LineE17(const std::string& head, const std::string& user, const std::string& crz,
                    const NamedValue& v);
std::string LineE18(const std::string& head, const std::string& user, const std::string& crz,
                    const NamedValue& v);
std::string LineE21(const std::string& head, const std::string& user, const PaymentRecord& p);

}  // namespace orvik::memfiles
