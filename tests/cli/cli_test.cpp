#include "real_file_system.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vellumark {
namespace {

using namespace testing_support;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string contentsOf(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

enum class Input { file, terminal };

// Runs the program with `input` on standard input, from a file or typed at a terminal, and `zone` as TZ.
// `whileRunning` is called with the child's process id before waiting for it.
Outcome runCli(const std::vector<std::string>& arguments, const std::string& input = "",
               const char* zone = "UTC0", Input kind = Input::file,
               const std::function<void(pid_t)>& whileRunning = {}) {
    const TemporaryFolder streams;
    std::ofstream(streams / "in", std::ios::binary) << input;
    std::vector<char*> argv{const_cast<char*>(VELLUMARK_CLI_PATH)};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    int terminal = -1;
    int terminalSide = -1;
    if (kind == Input::terminal) {
        openpty(&terminal, &terminalSide, nullptr, nullptr, nullptr);
        EXPECT_EQ(write(terminal, input.data(), input.size()), static_cast<ssize_t>(input.size()));
    }
    const pid_t child = fork();
    if (child == 0) {
        const auto redirect = [](const std::filesystem::path& path, int flags, int target) {
            const int fd = open(path.c_str(), flags, 0600);
            dup2(fd, target);
            close(fd);
        };
        if (kind == Input::terminal) {
            dup2(terminalSide, STDIN_FILENO);
        } else {
            redirect(streams / "in", O_RDONLY, STDIN_FILENO);
        }
        redirect(streams / "out", O_WRONLY | O_CREAT | O_TRUNC, STDOUT_FILENO);
        redirect(streams / "err", O_WRONLY | O_CREAT | O_TRUNC, STDERR_FILENO);
        setenv("TZ", zone, 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (whileRunning) {
        whileRunning(child);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (kind == Input::terminal) {
        close(terminalSide);
        close(terminal);
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, contentsOf(streams / "out"),
            contentsOf(streams / "err")};
}

constexpr std::int64_t kJanuary2000 = 946'684'800;

// A JSON value as far as the tests read one; object members keep their order in `names`.
struct Json {
    enum Kind { null, boolean, number, string, array, object } kind = null;
    double value = 0;
    std::string text;
    std::vector<std::string> names;
    std::vector<Json> items;

    const Json& operator[](std::string_view name) const {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == name) {
                return items[i];
            }
        }
        throw std::runtime_error("no member " + std::string(name));
    }
};

// Reads a whole JSON document strictly; throws where it is not one.
class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    Json document() {
        Json json = value();
        space();
        if (at_ != text_.size()) {
            throw std::runtime_error("text after the document");
        }
        return json;
    }

private:
    Json value() {
        space();
        Json json;
        const char next = at_ < text_.size() ? text_[at_] : '\0';
        if (next == '{' || next == '[') {
            json.kind = next == '{' ? Json::object : Json::array;
            const char close = next == '{' ? '}' : ']';
            ++at_;
            space();
            while (!take(close)) {
                if (!json.items.empty()) {
                    expect(',');
                }
                if (json.kind == Json::object) {
                    space();
                    expect('"');
                    json.names.push_back(string());
                    space();
                    expect(':');
                }
                json.items.push_back(value());
                space();
            }
        } else if (take('"')) {
            json.kind = Json::string;
            json.text = string();
        } else if (word("true")) {
            json.kind = Json::boolean;
            json.value = 1;
        } else if (word("false")) {
            json.kind = Json::boolean;
        } else if (!word("null")) {
            std::size_t length = 0;
            json.kind = Json::number;
            json.value = std::stod(std::string(text_.substr(at_, 32)), &length);
            at_ += length;
        }
        return json;
    }

    // The rest of a string whose opening quote was taken.
    std::string string() {
        std::string text;
        while (!take('"')) {
            char c = text_.at(at_++);
            if (static_cast<unsigned char>(c) < 0x20) {
                throw std::runtime_error("control character in a string");
            }
            if (c == '\\') {
                c = text_.at(at_++);
                if (c == 'u') {
                    const unsigned long code = std::stoul(std::string(text_.substr(at_, 4)), nullptr, 16);
                    at_ += 4;
                    if (code >= 0x80) {
                        throw std::runtime_error("the program escapes only ASCII controls");
                    }
                    text += static_cast<char>(code);
                    continue;
                }
                c = c == 'n' ? '\n' : c == 't' ? '\t' : c;
            }
            text += c;
        }
        return text;
    }

    void space() {
        while (at_ < text_.size() && std::string_view(" \n\t\r").find(text_[at_]) != std::string_view::npos) {
            ++at_;
        }
    }
    bool take(char c) {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!take(c)) {
            throw std::runtime_error(std::string("expected ") + c + " at " + std::to_string(at_));
        }
    }
    bool word(std::string_view literal) {
        if (text_.substr(at_, literal.size()) != literal) {
            return false;
        }
        at_ += literal.size();
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

class CliTest : public ::testing::Test {
protected:
    CliTest() {
        // Every run is journaled: in a journal of the test's own.
        setenv("XDG_STATE_HOME", (folder / "state").c_str(), 1);
    }

    TemporaryFolder folder;

    std::string file(const std::string& name, Date modification = Date::fromParts(kJanuary2000)) const {
        writeFile(folder / name);
        setModification(folder / name, modification);
        return folder / name;
    }
};

TEST_F(CliTest, EachActionWritesWhatTheWindowWould) {
    const std::string a = file("a");
    EXPECT_EQ(runCli({"--yes", "set", "2019-03-15T14:30:00.25+01:00", a}).status, 0);
    EXPECT_EQ(modificationOf(a), Date::fromParts(1'552'656'600, 250'000'000));

    EXPECT_EQ(runCli({"--yes", "shift", "-2h30m", a}).status, 0);
    EXPECT_EQ(modificationOf(a), Date::fromParts(1'552'656'600 - 9'000, 250'000'000));

    const std::string source = file("source", Date::fromParts(kJanuary2000 + 7));
    EXPECT_EQ(runCli({"--yes", "lift", source, a}).status, 0);
    EXPECT_EQ(modificationOf(a), modificationOf(source));

    EXPECT_EQ(runCli({"--yes", "remove", a}).status, 0);
    EXPECT_EQ(modificationOf(a), Date::fromParts(-2'082'844'800));

    // The creation date is kept by every file system the suite runs on, so copying to it changes nothing;
    // copying from it brings the file's birth, which is no later than now.
    const Outcome toCreation = runCli({"--yes", "copy-modification-to-creation", a});
    EXPECT_EQ(toCreation.status, 0);
    EXPECT_NE(toCreation.out.find("->  kept ("), std::string::npos) << toCreation.out;
    EXPECT_NE(toCreation.out.find("0 of 1 will change."), std::string::npos);
    EXPECT_EQ(runCli({"--yes", "copy-creation-to-modification", a}).status, 0);
    EXPECT_GT(modificationOf(a), Date::fromParts(kJanuary2000));
}

TEST_F(CliTest, DatesAreReadInTheirZoneOrTheLocalOne) {
    const std::string a = file("a");
    EXPECT_EQ(runCli({"--yes", "set", "2019-03-15T14:30", a}, "", "EST5").status, 0);
    EXPECT_EQ(modificationOf(a), Date::fromParts(1'552'660'200 + 5 * 3'600));
    EXPECT_EQ(runCli({"--yes", "set", "2019-03-15T14:30Z", a}, "", "EST5").status, 0);
    EXPECT_EQ(modificationOf(a), Date::fromParts(1'552'660'200));
    EXPECT_EQ(runCli({"--yes", "--no-auto-correct", "set", "@-1.5", a}).status, 0);
    EXPECT_EQ(modificationOf(a), Date::fromParts(-2, 500'000'000));
}

TEST_F(CliTest, FieldsChooseWhichDatesArePlanned) {
    const std::string a = file("a");
    const Outcome creationOnly = runCli({"--yes", "--fields", "creation", "set", "@0", a});
    EXPECT_EQ(creationOnly.status, 0);
    EXPECT_EQ(modificationOf(a), Date::fromParts(kJanuary2000));
    EXPECT_NE(creationOnly.out.find("->  kept ("), std::string::npos) << creationOnly.out;
    EXPECT_NE(creationOnly.out.find("->  unchanged\n0 of 1 will change."), std::string::npos);

    EXPECT_EQ(runCli({"--yes", "--fields=modification", "set", "@0", a}).status, 0);
    EXPECT_EQ(modificationOf(a), Date::fromParts(0));
}

TEST_F(CliTest, RecursiveAddsFolderContentsButNotHiddenOnes) {
    testing_support::makeFolder(folder / "tree");
    testing_support::makeFolder(folder / "tree/sub");
    const std::string inner = file("tree/sub/inner");
    const std::string hidden = file("tree/.hidden");

    const Outcome flat = runCli({"--dry-run", "set", "@0", folder / "tree"});
    EXPECT_NE(flat.out.find("1 of 1 will change."), std::string::npos) << flat.out;

    const Outcome deep = runCli({"--yes", "-r", "set", "@0", folder / "tree"});
    EXPECT_EQ(deep.status, 0);
    EXPECT_NE(deep.out.find("3 of 3 will change."), std::string::npos) << deep.out;
    EXPECT_EQ(modificationOf(inner), Date::fromParts(0));
    EXPECT_EQ(modificationOf(hidden), Date::fromParts(kJanuary2000));
}

TEST_F(CliTest, PathsFromStandardInputStayRawBytes) {
    const std::string odd = file("n\xFFm\nline");
    const std::string plain = file("plain");
    const Outcome run = runCli({"--yes", "--stdin", "-0", "set", "@86400"}, odd + '\0' + plain + '\0');
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(modificationOf(odd), Date::fromParts(86'400));
    EXPECT_EQ(modificationOf(plain), Date::fromParts(86'400));
    // Shown, not replayed: the ill-formed byte as U+FFFD and the line break escaped.
    EXPECT_NE(run.out.find("n\xEF\xBF\xBDm\\nline\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 items changed, 0 failed."), std::string::npos);
}

TEST_F(CliTest, JsonCarriesThePreviewTheResultAndExactPaths) {
    const std::string odd = file("n\xFFm");
    std::string hex;
    for (const char c : odd) {
        constexpr const char* kDigits = "0123456789abcdef";
        hex += kDigits[static_cast<unsigned char>(c) >> 4U];
        hex += kDigits[static_cast<unsigned char>(c) & 0xFU];
    }
    const Outcome preview = runCli({"--json", "--dry-run", "set", "@0", odd});
    EXPECT_EQ(preview.status, 0);
    EXPECT_NE(preview.out.find("\"path_bytes_hex\": \"" + hex + "\""), std::string::npos) << preview.out;
    EXPECT_NE(preview.out.find("\"new\": \"1970-01-01T00:00:00Z\", \"fate\": \"changes\""),
              std::string::npos);
    EXPECT_NE(preview.out.find("\"applied\": false"), std::string::npos);
    EXPECT_EQ(modificationOf(odd), Date::fromParts(kJanuary2000));

    const Outcome applied = runCli({"--json", "--yes", "set", "@0", odd, folder / "missing"});
    EXPECT_EQ(applied.status, 1);
    EXPECT_NE(applied.out.find("\"result\": {\"succeeded\": 1, \"failed\": 1, \"not_attempted\": 0, "
                               "\"errors\": [\"Could not change"),
              std::string::npos)
        << applied.out;
    EXPECT_EQ(applied.out.find('{'), 0U);
    EXPECT_EQ(applied.out.find("}}\n"), applied.out.size() - 3);
}

TEST_F(CliTest, ExitStatusTellsSuccessFailureAndUsage) {
    const std::string a = file("a");
    const Outcome nothing = runCli({"--yes", "set", "2000-01-01T00:00:00Z", a});
    EXPECT_EQ(nothing.status, 0);
    EXPECT_NE(nothing.out.find("0 of 1 will change."), std::string::npos);
    const Outcome wrote = runCli({"--yes", "set", "@0", a});
    EXPECT_EQ(wrote.status, 0);
    EXPECT_NE(wrote.out.find("1 item changed, 0 failed."), std::string::npos) << wrote.out;

    const Outcome failed = runCli({"--yes", "set", "@60", a, folder / "missing"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.out.find("1 item changed, 1 failed."), std::string::npos) << failed.out;
    EXPECT_EQ(failed.err, "Could not change dates for \u201Cmissing\u201D: the item no longer exists\n");

    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"--yes", "shift", "2x", a},
                                                  {"--yes", "set", "2019-02-29", a},
                                                  {"--yes", "shift", "+10001h", a},
                                                  {"--yes", "--bogus", "remove", a},
                                                  {"--yes", "remove"},
                                                  {"--yes", "--dry-run", "remove", a},
                                                  {"--yes", "--fields", "access", "remove", a},
                                                  {"--yes", "undo", "first"},
                                                  {"--yes", "-r", "undo"},
                                                  {"--json", "history", "--yes"}}) {
        const Outcome usage = runCli(wrong);
        EXPECT_EQ(usage.status, 2) << wrong[1];
        EXPECT_NE(usage.err.find("\nusage: vellumark-cli"), std::string::npos) << usage.err;
    }
    EXPECT_EQ(modificationOf(a), Date::fromParts(60));
}

TEST_F(CliTest, CtrlCStopsTheRunAndTheSummaryCountsWhatWasNotAttempted) {
    const std::filesystem::path many = folder / "many";
    std::filesystem::create_directory(many);
    const Date before = Date::fromParts(kJanuary2000);
    for (int i = 0; i < 20'000; ++i) {
        writeFile(many / std::to_string(i));
        setModification(many / std::to_string(i), before);
    }
    setModification(many, before);
    const Outcome outcome =
        runCli({"shift", "+1h", "--fields", "modification", "-r", "--yes", many}, "", "UTC0", Input::file,
               [&](pid_t child) {
                   // The folder is written first: interrupt as soon as it was.
                   const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                   while (modificationOf(many) == before && std::chrono::steady_clock::now() < deadline) {
                       std::this_thread::sleep_for(std::chrono::microseconds(200));
                   }
                   kill(child, SIGINT);
               });
    if (outcome.status == 0) {
        GTEST_SKIP() << "the run ended before the interrupt came";
    }
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    const std::size_t changed =
        std::stoul(outcome.out.substr(outcome.out.rfind('\n', outcome.out.size() - 2) + 1));
    EXPECT_NE(outcome.out.find(" not attempted: the run was stopped."), std::string::npos) << outcome.out;
    std::size_t shifted = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(many)) {
        shifted += modificationOf(entry.path()) != before ? 1 : 0;
    }
    shifted += modificationOf(many) != before ? 1 : 0;
    EXPECT_EQ(shifted, changed);
    EXPECT_LT(changed, 20'001u);
}

TEST_F(CliTest, WithoutATerminalItRefusesToAsk) {
    const std::string a = file("a");
    const Outcome refused = runCli({"set", "@0", a}, "y\n");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("standard input is not a terminal"), std::string::npos) << refused.err;
    EXPECT_EQ(modificationOf(a), Date::fromParts(kJanuary2000));
}

TEST_F(CliTest, OnATerminalItAsksAndWritesOnlyOnYes) {
    const std::string a = file("a");
    const Outcome declined = runCli({"set", "@0", a}, "\n", "UTC0", Input::terminal);
    EXPECT_EQ(declined.status, 0);
    EXPECT_EQ(declined.err, "Apply changes to 1 item? [y/N] ");
    EXPECT_NE(declined.out.find("1 of 1 will change.\nNothing was changed.\n"), std::string::npos)
        << declined.out;
    EXPECT_EQ(modificationOf(a), Date::fromParts(kJanuary2000));

    const Outcome accepted = runCli({"set", "@0", a}, "y\n", "UTC0", Input::terminal);
    EXPECT_EQ(accepted.status, 0);
    EXPECT_NE(accepted.out.find("1 item changed, 0 failed."), std::string::npos) << accepted.out;
    EXPECT_EQ(modificationOf(a), Date::fromParts(0));
}

TEST_F(CliTest, UndoPutsBackTheExactDatesAndUndoingTheUndoRedoes) {
    const Date before[] = {Date::fromParts(kJanuary2000, 123'456'789), Date::fromParts(kJanuary2000 + 7, 1)};
    const std::string files[] = {file("a", before[0]), file("b", before[1])};
    ASSERT_EQ(runCli({"--yes", "shift", "+1h", files[0], files[1]}).status, 0);
    EXPECT_EQ(runCli({"undo"}).status, 2);  // no one to confirm

    const Outcome undo = runCli({"undo", "--yes"});
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out.find("Undo \u201CAdd / remove time\u201D: 2 items\n"), 0U) << undo.out;
    EXPECT_NE(undo.out.find("2 items changed, 0 failed."), std::string::npos);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(modificationOf(files[i]), before[i]);
    }
    const Outcome redo = runCli({"--yes", "undo"});
    EXPECT_EQ(redo.status, 0) << redo.err;
    EXPECT_EQ(redo.out.find("Redo \u201CAdd / remove time\u201D: 2 items\n"), 0U) << redo.out;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(modificationOf(files[i]), before[i].addingSeconds(3'600));
    }

    const Json history = JsonReader(runCli({"history", "--json"}).out).document();
    const std::vector<Json>& runs = history["runs"].items;
    ASSERT_EQ(runs.size(), 3U);
    const char* kinds[] = {"redo", "undo", "action"};
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i]["kind"].text, kinds[i]);
        EXPECT_EQ(runs[i]["action"].text, "Add / remove time");
        EXPECT_EQ(runs[i]["changed"].value, 2);
        EXPECT_EQ(runs[i]["id"].value, 3 - static_cast<double>(i));
    }
    EXPECT_EQ(runs[1]["restores"].value, runs[2]["id"].value);
    EXPECT_EQ(runs[2]["restores"].kind, Json::null);
    EXPECT_NE(runCli({"history"}).out.find("plus 1 h · undo of #1\n"), std::string::npos);

    // Undoing the first run again: one item was changed since, and is left as it is.
    setModification(files[1], Date::fromParts(0));
    const Json partly = JsonReader(runCli({"--json", "--yes", "undo", "#1"}).out).document();
    EXPECT_EQ(partly["command"].text, "undo");
    EXPECT_EQ(partly["items"].items[0]["modification"]["to"].text, "2000-01-01T00:00:00.123456789Z");
    EXPECT_EQ(partly["result"]["succeeded"].value, 1);
    EXPECT_NE(partly["result"]["errors"].items.at(0).text.find("changed since; left as it is"),
              std::string::npos);
    EXPECT_EQ(modificationOf(files[0]), before[0]);
    EXPECT_EQ(modificationOf(files[1]), Date::fromParts(0));
}

TEST_F(CliTest, AJournalThatCannotBeWrittenStartsNoRunUnlessGoneWithout) {
    const std::string a = file("a");
    writeFile(folder / "plain");
    setenv("XDG_STATE_HOME", (folder / "plain" / "state").c_str(), 1);
    const Outcome refused = runCli({"--yes", "set", "@0", a});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("cannot be written: "), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--no-journal"), std::string::npos);
    EXPECT_EQ(modificationOf(a), Date::fromParts(kJanuary2000));

    EXPECT_EQ(runCli({"--yes", "--no-journal", "set", "@0", a}).status, 0);
    EXPECT_EQ(modificationOf(a), Date::fromParts(0));
}

// The little-endian count of 100 ns since 1601 that ntfs-3g keeps as the creation date.
std::int64_t ntfsCreationTicks(const std::filesystem::path& path) {
    std::array<unsigned char, 8> bytes{};
    EXPECT_EQ(::lgetxattr(path.c_str(), "system.ntfs_crtime", bytes.data(), bytes.size()), 8) << path;
    std::uint64_t ticks = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) {
        ticks = (ticks << 8U) | bytes[i];
    }
    return static_cast<std::int64_t>(ticks);
}

TEST_F(CliTest, OnNtfsTheCreationDateIsWrittenAndPutBack) {
    VELLUMARK_REQUIRE_ENVIRONMENT(isRoot(), "mounting an NTFS image needs root");
    VELLUMARK_REQUIRE_ENVIRONMENT(::access("/dev/fuse", R_OK | W_OK) == 0,
                                  "FUSE is not available (/dev/fuse)");
    VELLUMARK_REQUIRE_ENVIRONMENT(programExists("mkntfs") && programExists("ntfs-3g"),
                                  "ntfs-3g is not installed (mkntfs, ntfs-3g)");
    const std::string image = folder / "volume.img";
    writeFile(image, "");
    ASSERT_EQ(::truncate(image.c_str(), 16 << 20), 0);
    VELLUMARK_REQUIRE_ENVIRONMENT(runProgram({"mkntfs", "-F", "-q", "-f", image}) == 0, "mkntfs failed");
    const std::filesystem::path volume = folder / "volume";
    makeFolder(volume);
    VELLUMARK_REQUIRE_ENVIRONMENT(runProgram({"ntfs-3g", image, volume.native()}) == 0,
                                  "ntfs-3g could not mount the image");
    const MountGuard unmount(volume);
    writeFile(volume / "file");
    const std::int64_t born = ntfsCreationTicks(volume / "file");

    const Outcome set =
        runCli({"--yes", "--fields", "creation", "set", "2001-02-03T04:05:06.5Z", volume / "file"});
    EXPECT_EQ(set.status, 0) << set.out << set.err;
    EXPECT_NE(set.out.find("1 item changed, 0 failed."), std::string::npos) << set.out;
    EXPECT_EQ(ntfsCreationTicks(volume / "file"), (981'173'106 + 11'644'473'600) * 10'000'000 + 5'000'000);

    EXPECT_EQ(runCli({"--yes", "undo"}).status, 0);
    EXPECT_EQ(ntfsCreationTicks(volume / "file"), born);
}

}  // namespace
}  // namespace vellumark
