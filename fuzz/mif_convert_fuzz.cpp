// libFuzzer target: a whole round trip through the batch drivers from a
// fuzzed MIF file. The input is converted forward (list converter, marker
// text, post-processing, RTF or text writer, ancillary file); when that
// succeeds, the KWX file and the ancillary file are either left as they
// are or pseudo-translated, verified against the source (report written)
// and converted back.
//
// The settings come from the input's size: KWX form, source and target
// language, smart quotes, character set and source hyphenation. A file
// that converts forward, and whose tags then pass the verifier's checks,
// must convert back untranslated: forward conversion wrote every tag and
// block the back conversion looks for. A file the verifier finds errors in
// (in the document or in its ancillary section: a damaged input whose
// statements nest otherwise than forward conversion reads them) may be
// refused. Back conversion may stop with its tag error only where
// the input's own bytes are text of a code page: raw bytes of 0x80 and
// more (FrameMaker writes them only for Asian text; in another code page
// they may be no characters of it, as in an Asian document converted with
// a Western source language), or escapes that are code-page bytes in the
// Symbol character set or in a font of an Asian encoding of a double-byte
// source (a lead byte the input leaves without its second byte joins the
// '<' of the next tag). Western text never does: its FrameMaker characters
// become characters of the code page or tags.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "kernel/backward/PseudoTranslation.h"
#include "kernel/forward/TextConverter.h"

namespace {

namespace fs = std::filesystem;

struct World {
  fuzz::Scratch scratch{"morvane_convert_fuzz"};
  std::string src;
  std::string org;
  std::string tr;
};

World& TheWorld() {
  static World world;
  static const bool ready = [] {
    world.src = world.scratch.path() + "src/";
    world.org = world.scratch.path() + "org/";
    world.tr = world.scratch.path() + "tr/";
    for (const std::string& dir : {world.src, world.org, world.tr}) fs::create_directories(dir);
    return true;
  }();
  (void)ready;
  return world;
}

// Languages of every code page the converter handles.
const char* const LANGUAGES[] = {"English (US)", "German",  "Japanese",       "Chinese (Simplified)",
                                 "Korean",       "Polish",  "Chinese (Traditional)", "Greek",
                                 "Russian",      "Turkish", "Lithuanian",     "French"};
constexpr std::size_t LANGUAGE_COUNT = sizeof(LANGUAGES) / sizeof(LANGUAGES[0]);

fuzz::Settings SettingsFor(std::size_t size) {
  fuzz::Settings s;
  std::size_t k = size;
  s.format = static_cast<int>(k % 2);
  k /= 2;
  // Most inputs keep English as the source: the fixtures are written in it.
  s.sourceLanguage = k % 4 != 0 ? "English (US)" : LANGUAGES[(k / 4) % LANGUAGE_COUNT];
  k /= 4;
  s.targetLanguage = LANGUAGES[k % LANGUAGE_COUNT];
  k /= LANGUAGE_COUNT;
  s.smartQuotes = static_cast<int>(k % 2);
  s.characterSet = static_cast<int>((k / 2) % 2);
  s.sourceHyphenation = static_cast<int>((k / 4) % 2);
  s.translationHyphenation = static_cast<int>((k / 8) % 2);
  return s;
}

// Whether the input may hold text of a code page of its own (see above):
// raw bytes of 0x80 and more, which FrameMaker writes only for Asian
// text and which may be no characters of the code page at all, or
// double-byte text in escapes.
bool MayHoldCodePageText(const std::uint8_t* data, std::size_t size, const fuzz::Settings& settings,
                         int sourceCodePage) {
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] >= 0x80) return true;
  }
  if (!CQ_TextConverter::sb_IsDoubleByteCodePage(sourceCodePage)) return false;
  if (settings.characterSet != 0) return true;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  return text.find("FEncoding") != std::string_view::npos;
}

// The verifier reported errors ("Errors: N" with N above 0).
bool VerifierFoundErrors(const CQ_Morvane_Communication& session) {
  for (const std::string& line : session.rco_GetResults()) {
    int errors = 0;
    if (std::sscanf(line.c_str(), "Errors: %d", &errors) == 1 && errors > 0) return true;
  }
  return false;
}

// Back conversion stopped at the check of the tags of the translated file
// or of its ancillary section.
bool TagsRefused(const CQ_Morvane_Communication& session) {
  for (const std::string& line : session.rco_GetResults()) {
    if (line.rfind("Conversion Error 1140.", 0) == 0 || line.rfind("Conversion Error 1130.", 0) == 0) return true;
  }
  return false;
}

void ClearFolder(const std::string& dir) {
  std::error_code error;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    fs::remove_all(it->path(), error);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  World& w = TheWorld();
  const fuzz::Settings settings = SettingsFor(size);
  const std::string ext = settings.format == 1 ? ".rtf" : ".txt";
  fuzz::WriteBytes(w.src + "doc.mif", reinterpret_cast<const char*>(data), size);

  bool converted = false;
  int sourceCodePage = 1252;
  int targetCodePage = 1252;
  {
    auto session = fuzz::MakeSession(settings, w.org, w.tr);
    CQ_StringList paths = {w.src + "doc.mif"};
    session->v_ConvertMIF(&paths);
    converted = fuzz::Done(*session);
    if (converted && !session->b_AncillaryFileIsEmpty()) {
      // In both folders, as the command line writes it: the verifier checks
      // the translated one against the ORG folder's.
      (void)session->b_CreateAncillaryFile(w.tr + "ancillary" + ext);
      std::error_code error;
      fs::copy_file(w.tr + "ancillary" + ext, w.org + "ancillary" + ext, fs::copy_options::overwrite_existing, error);
    }
    if (session->i_GetSourceCodePage() != 0) sourceCodePage = session->i_GetSourceCodePage();
    if (session->i_GetTargetCodePage() != 0) targetCodePage = session->i_GetTargetCodePage();
  }
  if (converted) {
    const std::string kwx = w.tr + "doc" + ext;
    const std::string ancillary = w.tr + "ancillary" + ext;
    const bool pseudo = (size / 3) % 2 == 1;
    if (pseudo) {
      st_PseudoTranslationOptions options;
      options.i_SourceCodePage = sourceCodePage;
      options.i_TargetCodePage = targetCodePage;
      sv_PseudoTranslateFile(kwx, kwx, options);
      if (fs::exists(ancillary)) sv_PseudoTranslateFile(ancillary, ancillary, options);
    }
    CQ_StringList paths = {kwx};
    bool verifierErrors = false;
    {
      // The document and its ancillary section, each against its source.
      CQ_StringList checked = paths;
      if (fs::exists(ancillary)) checked.push_back(ancillary);
      auto session = fuzz::MakeSession(settings, w.org, w.tr);
      session->v_VerifyVarnels(&checked);
      verifierErrors = VerifierFoundErrors(*session);
    }
    auto session = fuzz::MakeSession(settings, w.org, w.tr);
    session->v_ConvertKWX(&paths, fs::exists(ancillary) ? ancillary.c_str() : nullptr);
    if (!pseudo && !verifierErrors && !fuzz::Done(*session) &&
        !(TagsRefused(*session) && MayHoldCodePageText(data, size, settings, sourceCodePage))) {
      for (const std::string& line : session->rco_GetResults()) std::fprintf(stderr, "%s\n", line.c_str());
      std::fprintf(stderr, "the untranslated KWX file does not convert back\n");
      __builtin_trap();
    }
  }
  ClearFolder(w.org);
  ClearFolder(w.tr);
  return 0;
}
