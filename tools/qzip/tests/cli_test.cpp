// qzip as a command-line citizen: one listing layout for every format, JSON with
// ISO 8601 times, the progress line on a terminal, and the safety report.

#include "engine/tests/EngineTestUtil.h"

#include "QzipTestSupport.h"

#include <filesystem>
#include <functional>
#include <string>

using quarva::engine::testutil::makeZip;
using quarva::engine::testutil::RawEntry;
using namespace quarva::testing;

namespace {

class QzipCli : public quarva::qzip::testing::QzipTest {
protected:
    // The lines of a listing that do not depend on the format: header and rules.
    static std::string frame(const std::string& listing) {
        return listing.substr(0, listing.find('\n', listing.find('\n') + 1));
    }
};

// True when `text` holds a run shaped like `shape`: '#' stands for any digit.
bool hasShape(const std::string& text, const std::string& shape) {
    for (std::size_t i = 0; i + shape.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < shape.size() &&
               (shape[k] == '#' ? std::isdigit(static_cast<unsigned char>(text[i + k])) != 0 : shape[k] == text[i + k]))
            ++k;
        if (k == shape.size()) return true;
    }
    return false;
}

}  // namespace

TEST_F(QzipCli, OneListingLayoutForEveryFormatWithSlashesDatesAndTotals) {
    if (!haveTool("tar")) GTEST_SKIP() << "tar missing";
    std::string zipList, tarList, out;
    ASSERT_EQ(run("a t.zip -r -p src", &out), 0) << out;
    ASSERT_EQ(runCommand("cd '" + dir().string() + "' && tar -cf t.tar src"), 0);
    ASSERT_EQ(run("l t.zip", &zipList), 0) << zipList;
    ASSERT_EQ(run("l t.tar", &tarList), 0) << tarList;
    EXPECT_EQ(frame(zipList), frame(tarList));
    EXPECT_NE(frame(zipList).find("Modified"), std::string::npos) << zipList;
    for (const std::string& l : {zipList, tarList}) {
        EXPECT_NE(l.find("src/sub/b.log"), std::string::npos) << l;
        EXPECT_EQ(l.find('\\'), std::string::npos) << l;
        EXPECT_NE(l.find("2 files"), std::string::npos) << l;  // the totals line
        EXPECT_NE(l.find("5006"), std::string::npos) << l;
    }
    // Dates as YYYY-MM-DD HH:MM; a value the format does not keep shows as "-".
    EXPECT_TRUE(hasShape(zipList, "####-##-## ##:##  deflate")) << zipList;
    EXPECT_TRUE(hasShape(tarList, "5000            -     -  ####-##-## ##:##")) << tarList;

    ASSERT_EQ(run("l --json t.tar", &out), 0) << out;
    EXPECT_NE(out.find("\"name\":\"src/sub/b.log\",\"type\":\"file\",\"size\":5000,\"packed\":null"), std::string::npos)
        << out;
    EXPECT_TRUE(hasShape(out, "\"modified\":\"####-##-##T##:##:##+##:##\",\"mtime\":#") ||
                hasShape(out, "\"modified\":\"####-##-##T##:##:##-##:##\",\"mtime\":#"))
        << out;

    // A hostile name cannot steer the terminal: control bytes and bad UTF-8 are escaped.
    ASSERT_TRUE(makeZip(dir() / "names.zip", {{"evil\x1b[2Jname\n.txt", "x"}}));
    ASSERT_EQ(run("l names.zip", &out), 0) << out;
    EXPECT_NE(out.find("evil\\x1B[2Jname\\n.txt"), std::string::npos) << out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    // A tar keeps a name's bytes as they are.
    writeFile(dir() / "bad\xff.txt", "y");
    ASSERT_EQ(runCommand("cd '" + dir().string() + "' && tar -cf names.tar bad*.txt"), 0);
    ASSERT_EQ(run("l names.tar", &out), 0) << out;
    EXPECT_NE(out.find("bad\\xFF.txt"), std::string::npos) << out;

    ASSERT_EQ(run("--help", &out), 0);
    EXPECT_NE(out.find("qzip check [--json] ARCHIVE"), std::string::npos) << out;
    ASSERT_EQ(run("--version", &out), 0);
    EXPECT_EQ(out.rfind("qzip (Quarva.Zip Suite) ", 0), 0u) << out;
}

// The progress line appears on a terminal (a pseudo-terminal from script(1)) and
// never in a pipe or with --quiet.
TEST_F(QzipCli, ProgressLineOnlyOnATerminal) {
    if (!haveTool("script")) GTEST_SKIP() << "script (util-linux) missing";
    std::string out;
    writeFile(dir() / "src" / "big.bin", std::string(8 << 20, 'q'));
    ASSERT_EQ(run("a t.zip -r src --quiet", &out), 0) << out;
    const std::string tty = "cd '" + dir().string() + "' && QZIP_PROGRESS_AFTER_MS=0 script -qec \"'" +
                            program().string() + "' x t.zip -d out -o%s\" /dev/null";
    char command[4096];
    std::snprintf(command, sizeof command, tty.c_str(), "");
    ASSERT_EQ(runCommand(command, &out), 0) << out;
    EXPECT_TRUE(hasShape(out, "\r#") && hasShape(out, "%  ") && hasShape(out, " of 8.0 MiB  ") && hasShape(out, "B/s"))
        << out;
    EXPECT_NE(out.find("\r\x1b[K"), std::string::npos) << "the line is taken away at the end";
    std::snprintf(command, sizeof command, tty.c_str(), " --quiet");
    ASSERT_EQ(runCommand(command, &out), 0) << out;
    EXPECT_EQ(out.find('%'), std::string::npos) << out;
    ASSERT_EQ(run("x t.zip -d out2 2>&1", &out), 0) << out;
    EXPECT_EQ(out.find('\r'), std::string::npos) << out;
}

// The percent of the last progress line drawn in a terminal transcript, -1 when none.
int lastPercent(const std::string& transcript) {
    int last = -1;
    for (std::size_t at = transcript.find('\r'); at != std::string::npos; at = transcript.find('\r', at + 1)) {
        std::size_t k = at + 1;
        int value = 0;
        while (k < transcript.size() && std::isdigit(static_cast<unsigned char>(transcript[k])))
            value = value * 10 + (transcript[k++] - '0');
        if (k > at + 1 && k < transcript.size() && transcript[k] == '%') last = value;
    }
    return last;
}

// Other formats show the same line from the format library's byte counts: a tar
// created from the files' bytes, a tar.xz extracted from the archive's bytes read.
TEST_F(QzipCli, ProgressLineForOtherFormats) {
    if (!haveTool("script") || !haveTool("xz") || !haveTool("tar")) GTEST_SKIP() << "script, xz or tar missing";
    ASSERT_EQ(runCommand("cd " + q(dir()) + " && head -c 6000000 /dev/urandom > src/big.bin && " +
                         "XZ_OPT=-0 tar -cJf t.tar.xz src"),
              0);
    const auto onTerminal = [&](const std::string& args, const std::string& redirect = "") {
        std::string out;
        EXPECT_EQ(runCommand("cd " + q(dir()) + " && QZIP_PROGRESS_AFTER_MS=0 " + libraryEnv() + "script -qec \"" +
                                 q(program()) + " " + args + redirect + "\" /dev/null",
                             &out),
                  0)
            << args << out;
        return out;
    };
    for (const std::string args : {"a made.tar -r src", "x t.tar.xz -d out"}) {
        const std::string out = onTerminal(args);
        EXPECT_GE(lastPercent(out), 90) << args << out;
        EXPECT_TRUE(hasShape(out, " of 5.7 MiB  ") && hasShape(out, "B/s")) << args << out;
        // Taken away at the end, and before the names printed.
        EXPECT_EQ(out.rfind("\r\x1b[K"), out.rfind("\x1b[K") - 1) << out;
        EXPECT_NE(out.find("\r\x1b[Ksrc/"), std::string::npos) << args << out;
    }
    EXPECT_EQ(readFile(dir() / "out" / "src" / "big.bin"), readFile(dir() / "src" / "big.bin"));
    // Nothing with --quiet, nor when standard error is a file.
    EXPECT_EQ(onTerminal("x t.tar.xz -d out2 --quiet").find('%'), std::string::npos);
    EXPECT_EQ(onTerminal("x t.tar.xz -d out3", " 2>err.txt").find('%'), std::string::npos);
    EXPECT_EQ(readFile(dir() / "err.txt"), "");
}

// One archive for each kind of finding, the kind named in the JSON report and the
// exit status: 0 clean, 1 warnings, 2 dangerous or damaged.
TEST_F(QzipCli, SafetyReportNamesEachKindOfProblem) {
    const bool haveTar = haveTool("tar");
    const auto zip = [&](std::vector<RawEntry> entries) {
        return [this, entries](const fs::path& p) { ASSERT_TRUE(makeZip(p, entries)); };
    };
    const auto shell = [&](std::string command) {
        return [this, command](const fs::path& p) {
            ASSERT_EQ(runCommand("cd '" + dir().string() + "' && A='" + p.string() + "' && " + command), 0) << command;
        };
    };
    struct Case {
        const char* file;
        std::function<void(const fs::path&)> make;
        int status;
        const char* kind;
        bool needsTar;
    };
    const std::vector<Case> cases = {
        {"clean.zip", zip({{"a.txt", "a"}, {"sub/", "", 040755}, {"sub/l", "../a.txt", 0120777}}), 0, nullptr, false},
        {"climb.zip", zip({{"../../evil.txt", "x"}}), 2, "climbs-out", false},
        {"absolute.zip", zip({{"/etc/evil", "x"}}), 2, "absolute", false},
        {"link.zip", zip({{"l", "/etc/passwd", 0120777}}), 2, "link-outside", false},
        {"climblink.zip", zip({{"sub/l", "../../x", 0120777}}), 2, "link-outside", false},
        {"fifo.zip", zip({{"pipe", "", 010644}}), 1, "special", false},
        {"dup.zip", zip({{"a.txt", "1"}, {"a.txt", "2"}}), 1, "duplicate", false},
        {"case.zip", zip({{"Read.me", "1"}, {"READ.ME", "2"}}), 1, "case", false},
        {"utf8.tar", shell("touch \"$(printf 'bad\\377')\" && tar -cf \"$A\" bad* && rm bad*"), 1, "invalid-utf8",
         true},
        {"control.zip", zip({{"a\r\nb.txt", "1"}}), 1, "control-characters", false},
        {"long.zip", zip({{"sub/" + std::string(256, 'n'), "1"}}), 1, "name-too-long", false},
        {"secret.zip", shell("'" + program().string() + "' a \"$A\" src/a.txt --password pw --aes --quiet"), 1,
         "encrypted", false},
        {"damaged.zip", shell("'" + program().string() + "' a \"$A\" src --quiet -r && truncate -s -30 \"$A\""), 2,
         "damaged", false},
        {"bomb.tgz", shell("truncate -s 3G huge && tar -cSzf \"$A\" huge && rm huge"), 2, "bomb", true},
        {"tarlink.tar", shell("ln -s /etc/shadow s && tar -cf \"$A\" s && rm s"), 2, "link-outside", true},
        {"abs.tar", shell("tar -cPf \"$A\" \"$PWD/src/a.txt\""), 2, "absolute", true},
        {"cut.tar.gz", shell("tar -czf \"$A\" src && truncate -s 40 \"$A\""), 2, "damaged", true},
    };
    for (const auto& c : cases) {
        if (c.needsTar && !haveTar) continue;
        SCOPED_TRACE(c.file);
        const fs::path archive = dir() / c.file;
        c.make(archive);
        std::string out;
        EXPECT_EQ(run(std::string("check --json ") + c.file, &out), c.status) << out;
        if (c.kind) EXPECT_NE(out.find(std::string("\"kind\":\"") + c.kind + "\""), std::string::npos) << out;
        else EXPECT_NE(out.find("\"verdict\":\"clean\""), std::string::npos) << out;
        EXPECT_EQ(run(std::string("check ") + c.file, &out), c.status) << out;
        EXPECT_NE(out.find("verdict: "), std::string::npos) << out;
    }
    // Extraction refuses what the check warned of, and says why.
    std::string out;
    EXPECT_EQ(run("x control.zip -d out", &out), 1) << out;
    EXPECT_NE(out.find(" : Skipped (unsafe name (absolute, leaves the folder or holds control characters))"),
              std::string::npos)
        << out;
}

// The bash completion offers the commands and each command's options.
TEST_F(QzipCli, BashCompletionOffersCommandsAndOptions) {
    const fs::path helpers = "/usr/share/bash-completion/bash_completion";
    if (!fs::exists(helpers)) GTEST_SKIP() << "bash-completion missing";
    const fs::path completion = quarva::testing::sourceDir() / "desktop" / "completion" / "qzip";
    auto complete = [&](const std::string& line) {
        std::string out;
        runCommand("bash -c 'source " + helpers.string() + "; source " + completion.string() + "; COMP_LINE=\"" + line +
                       "\"; COMP_POINT=${#COMP_LINE}; read -ra COMP_WORDS <<< \"$COMP_LINE\"; " +
                       "[[ $COMP_LINE == *\" \" ]] && COMP_WORDS+=(\"\"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); " +
                       "_qzip; echo \"${COMPREPLY[*]}\"'",
                   &out);
        return out;
    };
    EXPECT_EQ(complete("qzip ch"), "check\n");
    EXPECT_EQ(complete("qzip l --j"), "--json\n");
    EXPECT_NE(complete("qzip x a.zip -").find("--password"), std::string::npos);
    EXPECT_EQ(complete("qzip convert a.zip b.tar "), "cab lzh zip tar gz jar bh\n");
}

// -O / --names-charset reads legacy names in the chosen set for list, test, extract
// and check, also in the C locale; an unknown set is a usage error.
TEST_F(QzipCli, NamesCharsetReadsLegacyNames) {
    // "Привет/мир.txt" in CP866 and "中文.txt" in GBK, without the UTF-8 flag.
    // The UTF-8 name is a duplicate only when the CP866 one is read in CP866.
    ASSERT_TRUE(makeZip(dir() / "dos.zip", {{"\x8f\xe0\xa8\xa2\xa5\xe2/\xac\xa8\xe0.txt", "ru"},
                                            {"\xd6\xd0\xce\xc4.txt", "zh"},
                                            {"Привет/мир.txt", "utf-8"}}));
    std::string out;
    auto privets = [&out] { return out.find("Привет/мир.txt") == out.rfind("Привет/мир.txt") ? 1 : 2; };
    ASSERT_EQ(run("l dos.zip", &out), 0) << out;
    EXPECT_EQ(privets(), 1) << out;
    ASSERT_EQ(run("l -O CP866 dos.zip", &out), 0) << out;
    EXPECT_EQ(privets(), 2) << out;
    ASSERT_EQ(
        runCommand("cd " + q(dir()) + " && LANG=C LC_ALL=C " + q(program()) + " t dos.zip 'Привет/*' -O cp866", &out),
        0)
        << out;
    EXPECT_NE(out.find("Testing  : Привет/мир.txt : OK"), std::string::npos) << out;
    ASSERT_EQ(run("--names-charset=GBK x dos.zip -d out", &out), 0) << out;
    EXPECT_EQ(readFile(dir() / "out" / "中文.txt"), "zh");
    EXPECT_EQ(run("check dos.zip", &out), 0) << out;
    run("check --json --names-charset CP866 dos.zip", &out);
    EXPECT_NE(out.find("\"name\":\"Привет/мир.txt\""), std::string::npos) << out;
    EXPECT_EQ(run("l -O NO-SUCH-SET dos.zip", &out), 2);
    EXPECT_NE(out.find("qzip: unknown character set for names: 'NO-SUCH-SET'"), std::string::npos) << out;
    // A zip the format library reads (PPMd entries) keeps its names, and says so.
    fs::copy_file(sourceDir() / "formatlib" / "tests" / "data" / "zip-ppmd-three-files.zipx", dir() / "ppmd.zip");
    EXPECT_EQ(runWithLibrary("l -O CP866 ppmd.zip", &out), 0) << out;
    EXPECT_NE(out.find("qzip: ppmd.zip: -O is for zip archives the zip engine reads; names are read as stored"),
              std::string::npos)
        << out;
    EXPECT_EQ(run("l -O UTF-7 dos.zip", &out), 2);
    EXPECT_NE(out.find("sets that do not read ASCII as ASCII cannot name files"), std::string::npos) << out;
    EXPECT_EQ(run("l dos.zip -O", &out), 2);
    EXPECT_NE(out.find("qzip: -O needs a value"), std::string::npos) << out;
}

// A pipe in the archive's place is refused at once instead of waited on; a link to
// an archive is read as the archive.
TEST_F(QzipCli, ArchiveThatIsNoFileIsRefused) {
    ASSERT_EQ(run("a t.zip -r src"), 0);
    ASSERT_EQ(runCommand("cd " + q(dir()) + " && mkfifo p.zip p.tar && ln -s t.zip link.zip"), 0);
    std::string out;
    for (const std::string args :
         {"l p.zip", "x p.zip -d out", "t p.tar", "a p.tar src/a.txt", "convert p.tar c.zip"}) {
        EXPECT_EQ(
            runCommand("cd " + q(dir()) + " && " + libraryEnv() + "timeout -s KILL 60 " + q(program()) + " " + args,
                       &out),
            2)
            << args << out;
        EXPECT_NE(out.find(": not a regular file"), std::string::npos) << args << out;
    }
    EXPECT_EQ(run("t link.zip", &out), 0) << out;
}

// Names from the format library reach the terminal with their control characters
// escaped, as the zip engine's do: an escape sequence in a tar's name cannot steer it.
TEST_F(QzipCli, OtherFormatsPrintNamesEscaped) {
    if (!haveTool("tar")) GTEST_SKIP() << "tar missing";
    ASSERT_EQ(
        runCommand("cd " + q(dir()) + " && mkdir e && touch \"e/$(printf 'a\\033[31mred\\rX')\" && tar -cf e.tar e"),
        0);
    for (const std::string args : {"t e.tar", "x e.tar -d out"}) {
        std::string out;
        runWithLibrary(args, &out);
        EXPECT_EQ(out.find('\x1b'), std::string::npos) << args << out;
        EXPECT_NE(out.find("e/a\\x1B[31mred\\rX"), std::string::npos) << args << out;
    }
}
