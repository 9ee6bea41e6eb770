// Helpers shared by the back-conversion tests: scratch folders, sessions
// set up as a command line sets them up, whole round trips through the
// batch drivers, and the comparison of MIF documents that states which
// differences a round trip may show.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kernel/session/CommunicationFrame.h"
#include "support/TestFiles.h"

namespace back_test {

std::string DataDir();    // tests/data/back/, ending with '/'
std::string ForwardGoldenDir();  // tests/data/convert/golden/, ending with '/'
std::string CorpusDir();  // the real documents, ending with '/'
bool HaveCorpus();

using morvane_test::Exists;
using morvane_test::ReadBytes;
using morvane_test::WriteBytes;
// Non-empty lines, trimmed as the MIF reader trims them (CR, LF and CR LF
// all end a line).
std::vector<std::string> MIFLines(const std::string& text);
// Non-empty lines, untrimmed (KWX text).
std::vector<std::string> Lines(const std::string& text);
std::string Joined(const std::vector<std::string>& lines);  // each line + "\n"
// KWX lines without the lines that name the source file.
std::vector<std::string> WithoutSourcePath(std::vector<std::string> lines);
// Bytes outside printable ASCII shown as <HH>, for failure messages.
std::string Visible(const std::string& s);

// A MIF file with change bars switched off, as the user is told to.
std::string WithoutChangeBars(std::string mif);

struct Settings {
  std::string sourceLanguage = "English (US)";
  std::string targetLanguage = "English (US)";
  int smartQuotes = 0;
  int characterSet = 0;
  int sourceHyphenation = 1;       // 1 "Leave As Is"
  int translationHyphenation = 1;  // 1 "Leave As Is"
  int format = 0;                  // 0 text, 1 RTF
  int highestMIFVersion = 55;      // 70 accepts MIF 7.0 as well
};

// A session with the GUI flag clear and the settings applied.
std::unique_ptr<CQ_Morvane_CommunicationFrame> MakeSession(const Settings& s, const std::string& orgDir,
                                                           const std::string& translatedDir);

// The results queue without the batch's time stamp.
std::vector<std::string> ResultLines(const CQ_Morvane_Communication& session);
bool Contains(const std::vector<std::string>& lines, const std::string& line);

// A scratch folder with src/, org/ and tr/ for one test.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Forward conversion of `mif` written as src/<name>; writes
  // org/ancillary.<ext> as well. Returns the results lines.
  std::vector<std::string> Forward(const std::string& name, const std::string& mif, const Settings& s);
  // Back conversion of tr/<base>.<ext> with the ancillary file
  // tr/ancillary.<ext> (when present). Returns the results lines.
  std::vector<std::string> Back(const std::string& base, const Settings& s);
  // The KWX extension of a settings' format.
  static std::string Ext(const Settings& s) { return s.format == 0 ? ".txt" : ".rtf"; }

  std::string dir_;  // ends with '/'
};

// What a round trip may change, and the comparison itself.
struct Differences {
  std::string sourceMIFLanguage;  // switched when it differs from the target
  std::string targetMIFLanguage;
  bool hyphenationOff = false;    // PgfHyphenate Yes becomes No
  bool softHyphensOff = false;    // soft hyphens that end a ParaLine are gone
};

// Compares an ORG copy with a back-converted MIF file. Both are reduced to
// a sequence of statements in which these differences vanish, and no
// other:
// - the documented rewrites (language switch, hyphenation off, removed
//   soft hyphens at line ends) are applied to the ORG side;
// - inside a paragraph, ParaLine and String boundaries do not count: text
//   is a sequence of FrameMaker characters, however spelled (a byte, a hex
//   or other escape, or a Char statement), each with the font in force,
//   worked out from the Font statements met since the paragraph began (so
//   font statements that change nothing do not count either); control
//   codes that forward conversion has no text for do not count;
// - a TextRectID statement counts at the position of the next character
//   (it may stand before or after statements without text there);
// - a paragraph's own Unique statement does not count;
// - an Unconditional statement directly followed by a Conditional one
//   does not count;
// - text lines' String, Char and Font statements count the same way;
// - blanks before a closing ">" outside strings do not count.
// Every other statement must be there, with the same text, in the same
// order. On failure the first difference is shown with its context.
::testing::AssertionResult SameDocument(const std::vector<std::string>& org, const std::vector<std::string>& output,
                                        const Differences& allowed);

}  // namespace back_test
