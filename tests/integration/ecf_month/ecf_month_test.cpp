// The month read from the fiscal printer with nothing stood in: three shop days on the
// virtual printer behind a pseudo-terminal, tributarium-cli with the real driver, which
// reads the memories through libleitura.so, converts them with libato17.so and writes the
// type-60/75 records; then the program's own loader takes them into the month's file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/files.h"
#include "ecf_sim/server.h"
#include "shop_month.h"

namespace {

namespace fs = std::filesystem;
using ecf_month::Records;

constexpr const char* kSerial = "OR050800000000012345";

struct Resultado {
  int code = -1;
  std::string out, err;
};

class EcfMonth : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ecf_month_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    {
      std::lock_guard lock(server_.mutex());
      printer_.set_clock({{2026, 6, 9}, 8, 0, 0});
      ASSERT_NO_THROW(shop_.Program(printer_));
      ASSERT_NO_THROW(shop_.SellDay(printer_, {2026, 6, 10}, 4));
      ASSERT_NO_THROW(shop_.SellDay(printer_, {2026, 6, 11}, 5, 2));
      ASSERT_NO_THROW(shop_.SellDay(printer_, {2026, 6, 12}, 3));
      printer_.set_clock({{2026, 7, 2}, 10, 0, 0});
    }
    std::string error;
    ASSERT_TRUE(server_.open_pty(&error)) << error;
    server_.start();
    std::ofstream(dir_ / "ORVIK.INI", std::ios::binary)
        << "[Sistema]\r\nPorta=COM1\r\nPath=" << dir_.string()
        << "/\r\n[Portas]\r\nCOM1=" << server_.slave_path() << "\r\n";
    ::setenv("ORVIK_INI", (dir_ / "ORVIK.INI").c_str(), 1);
    ::setenv("ORVIK_DRIVER", ORVIK_LIBRARY_PATH, 1);
    ::setenv("TRIBUTARIUM_LOGIN", "admin", 1);
    ::setenv("TRIBUTARIUM_SENHA", "admin", 1);
    ASSERT_EQ(Cli({"init"}).code, 0);
    ASSERT_EQ(Cli({"base", "criar", "Loja"}).code, 0);
  }
  void TearDown() override {
    server_.stop();
    fs::remove_all(dir_);
  }

  Resultado Cli(const std::vector<std::string>& args) {
    std::vector<std::string> text = {TRIBUTARIUM_CLI};
    text.insert(text.end(), args.begin(), args.end());
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::vector<char*> argv;
      for (auto& a : text) argv.push_back(a.data());
      argv.push_back(nullptr);
      if (::chdir(dir_.c_str()) != 0) ::_exit(126);
      const int out = ::open((dir_ / ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = ::open((dir_ / ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(out, 1);
      ::dup2(err, 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    Resultado r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = common::read_file(dir_ / ".out").value_or("");
    r.err = common::read_file(dir_ / ".err").value_or("");
    return r;
  }
  std::vector<std::string> Lines(const fs::path& p) {
    return common::split_lines(common::read_file(p).value_or(""));
  }

  ecf_sim::Printer printer_;
  ecf_sim::Server server_{printer_};
  ecf_month::ShopMonth shop_;
  fs::path dir_;
};

TEST_F(EcfMonth, ReadingThePrinterGivesTheMonthsSales) {
  const Resultado r = Cli({"ecf", "ler", "--base", "Loja", "--mes", "6", "--ano", "2026", "--porta",
                           "COM1", "--tipos", "60D,60I,60R"});
  ASSERT_EQ(r.code, 0) << r.err;
  const fs::path file = dir_ / "Sintegra" / "2026" / "Junho" / "Sintegra-6_2026.txt";
  EXPECT_EQ(r.out, file.string() + "\n");
  const auto lines = Lines(file);
  ASSERT_FALSE(lines.empty()) << r.err;
  EXPECT_EQ(ecf_month::Differences(ecf_month::Found(lines),
                                   ecf_month::Expected(shop_, kSerial, 4 | 8 | 16)),
            "");
}

TEST_F(EcfMonth, TheMonthsFileTakesThePrintersRecordsAsRead) {
  const Resultado r =
      Cli({"gerar", "--base", "Loja", "--mes", "6", "--ano", "2026", "--tipos",
           "10,11,50,54,60M,60A,60D,60I,60R,74,75,90", "--ler-ecf", "--porta", "COM1"});
  ASSERT_EQ(r.code, 0) << r.err;
  const fs::path folder = dir_ / "Sintegra" / "2026" / "Junho";
  EXPECT_EQ(r.out, (folder / "Sintegra.txt").string() + "\n");
  const auto lines = Lines(folder / "Sintegra.txt");
  ASSERT_GE(lines.size(), 3u) << r.err;
  EXPECT_EQ(ecf_month::Differences(ecf_month::Found(lines),
                                   ecf_month::Expected(shop_, kSerial, 4 | 8 | 16)),
            "");
  // The trailer counts what the file holds.
  int sixty = 0, seventy_five = 0;
  for (const std::string& l : lines) {
    sixty += l.starts_with("60");
    seventy_five += l.starts_with("75");
  }
  EXPECT_TRUE(lines.front().starts_with("10"));
  EXPECT_EQ(lines.front().substr(107, 16), "2026060120260630");
  std::string counts;
  for (const std::string& l : lines)
    if (l.starts_with("90")) counts += l.substr(30, 90);
  EXPECT_NE(counts.find("60" + std::string(8 - std::to_string(sixty).size(), '0') +
                        std::to_string(sixty)),
            std::string::npos)
      << counts;
  EXPECT_NE(counts.find("75" + std::string(8 - std::to_string(seventy_five).size(), '0') +
                        std::to_string(seventy_five)),
            std::string::npos)
      << counts;
}

TEST_F(EcfMonth, WithoutSubtypesTheFileHoldsOnlyTheDaysAndProducts) {
  // 60D only: no 60I or 60R from the same reading.
  const Resultado r = Cli({"ecf", "ler", "--base", "Loja", "--mes", "6", "--ano", "2026", "--porta",
                           "COM1", "--tipos", "60D"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto lines = Lines(dir_ / "Sintegra" / "2026" / "Junho" / "Sintegra-6_2026.txt");
  EXPECT_EQ(ecf_month::Differences(ecf_month::Found(lines), ecf_month::Expected(shop_, kSerial, 4)),
            "");
}

}  // namespace
