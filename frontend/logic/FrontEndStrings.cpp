// The front end's string table. Filters keep the "Name|pattern||" form of
// the table; the widget layer turns them into Qt filters with QtFilter.
#include "FrontEndStrings.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <vector>

#include "kernel/session/KernelStrings.h"

namespace brannock {
namespace {

const std::map<unsigned, const char*>& Table() {
  static const std::map<unsigned, const char*> table = {
      {10, "Halvex Morvane for FrameMaker"},
      {11, "Version 3.00 (Build 1)"},
      {100, "Text Files (*.txt)|*.txt||"},
      {110, "Save Results As"},
      {111, "Results.txt"},
      {150, "Are you sure you want to cancel?"},
      {1000, "Select MIF File(s) to Convert"},
      {1010, "MIF Files (*.mif)|*.mif||"},
      {1020, "You may not place the KWX files in the\nsame directory as the source files:\n(%s)\nChoose another directory."},
      {1500, "%d MIF File(s) will be converted to KWX."},
      {2000, "Select KWX file(s) to Verify"},
      {2010, "You must select files in two different directories."},
      {2500, "%d KWX File(s) will be verified."},
      {3000, "Select KWX File(s) to Convert"},
      {3010, "RTF Files (*.rtf)|*.rtf||"},
      {3020, "Text Files (*.txt)|*.txt||"},
      {3500, "%d KWX File(s) will be converted to MIF."},
      {3600, "The ancillary file can not be converted as an individual file."},
      {4000, "Select Source MIF Files Directory"},
      {4010, "Select Source KWX & ORG Files Directory"},
      {4020, "Select Translated KWX & MIF Files Directory"},
      {4030, "The path you entered doesn't exist. Please try again."},
      {5000, "Please enter a number between 1 and %d."},
      // System information of the About page.
      {6000, "System Settings Overview:"},
      {6010, "%s is running"},
      {6020, "Total Physical Memory: %lld KB"},
      {6030, "Available Physical Memory: %lld KB"},
      {6040, "Total Paging File Memory: %lld KB"},
      {6050, "Available Paging File Memory: %lld KB"},
      {6060, "Total Disk Space: %lld MB on %s"},
      {6070, "Available Disk Space: %lld MB on %s"},
      {6080, "Total Disk Space: Unavailable"},
      {6090, "Available Disk Space: Unavailable"},
      {6100, "Operating System: %s"},
      {6110, "Unknown OS"},
      {6120, "Kernel: %s %s"},
      {6130, "Major version: %d"},
      {6140, "Minor version: %d"},
      {6150, "Total Physical Memory: Unavailable"},
      {6160, "Available Physical Memory: Unavailable"},
      {6170, "Total Paging File Memory: Unavailable"},
      {6180, "Available Paging File Memory: Unavailable"},
      // Texts of the confirmation dialogs.
      {7000, "Confirm MIF Conversion"},
      {7010, "The converted file(s) will be placed in the directory below:"},
      {7020, "IMPORTANT:  Any KWX and ORG files with the corresponding file names in the directories below will be overwritten."},
      {7030, "A copy of the KWX file(s) for translation will be placed in the directory below:"},
      {7100, "Confirm KWX Conversion"},
      {7110, "The ORG files and corresponding KWX source files are in the directory below:"},
      {7120, "The MIF file(s) will be created in the following directory:"},
      {7130, "IMPORTANT: Any MIF files with the corresponding file names in the directory will be overwritten."},
      {7200, "Confirm Verification of Varnels"},
      {7210, "The Varnels will be verified in %d KWX file(s)."},
      {7220, "The corresponding KWX source files are in the directory below:"},
      {7230, "Log file(s) with the extension .CMP will be created in the target language directory."},
      {7240, "IMPORTANT: Any CMP files with the corresponding file names in the directory will be overwritten."},
      {7300, "Customise Verifier Report"},
      {7310, "Select messages to suppress:"},
  };
  return table;
}

}  // namespace

const char* LoadString(unsigned id) {
  if (id >= 19200 && id <= 19244) return lpsz_LoadKernelString(id);
  auto it = Table().find(id);
  return it == Table().end() ? "" : it->second;
}

std::string FormatString(unsigned id, ...) {
  va_list args;
  va_start(args, id);
  std::string text = ccs_VFormat(LoadString(id), args);
  va_end(args);
  return text;
}

std::string QtFilter(const std::string& filter) { return filter.substr(0, filter.find('|')); }

}  // namespace brannock
