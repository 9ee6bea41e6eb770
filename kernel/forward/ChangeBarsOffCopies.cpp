// Copies with change bars switched off, made for a conversion batch.
#include "kernel/forward/ChangeBarsOffCopies.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "System/Platform/FileSystem.h"
#include "kernel/forward/ChangeBarClearing.h"
#include "kernel/session/Communication.h"
#include "kernel/session/KernelStrings.h"

const char CQ_ChangeBarsOffCopies::scs_Folder[] = "change-bars-off/";

st_ChangeBarsOffBatch CQ_ChangeBarsOffCopies::sc_UseCopies(CQ_StringList& paths, const std::string& orgFolder) {
  st_ChangeBarsOffBatch batch;
  const std::string folder = orgFolder + scs_Folder;
  for (std::string& path : paths) {
    const std::string name = Platform::FileNameOf(path);
    if (name.size() <= 4 || !Platform::SamePathIgnoringCase(name.substr(name.size() - 4), ".mif")) continue;
    // Only a readable MIF file with change bars on gets a copy; whatever
    // else is wrong with a file, the batch reports it.
    std::ifstream in(path, std::ios::binary);
    const std::string mif((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t cleared = 0;
    CQ_ChangeBarClearing::scs_Clear(mif, &cleared);
    if (!in || mif.rfind("<MIFFile ", 0) != 0 || cleared == 0) continue;
    const std::string copy = folder + name;
    try {
      std::error_code ec;
      std::filesystem::create_directories(folder, ec);
      if (!CQ_ChangeBarClearing::sb_ClearFile(path, copy, cleared)) continue;  // no longer a MIF file: the batch refuses it
    } catch (const Platform::CQ_FileException& e) {
      batch.failedCopy = copy;
      batch.failure = lpsz_LoadKernelString(CQ_Morvane_Communication::sn_FileErrorMessage(e.m_cause));
      batch.fileError = e;
      return batch;
    } catch (const std::exception& e) {
      batch.failedCopy = copy;
      batch.failure = e.what();
      return batch;
    }
    batch.copies.push_back({path, copy, cleared});
    path = copy;
  }
  return batch;
}
