// Output files that appear under their final name complete or not at all.
//
// A CQ_TemporaryFile is created in its destination's folder under a short
// temporary name of fixed length, written, flushed to the disk and renamed
// over the destination by v_Commit; one destroyed without a commit removes
// its temporary file. The temporary name is
//
//   ".~" HASH "-" HOST "-" PID "-" TAG "-" SEQ ".tmp"        (50 bytes)
//
// with eight lower-case hexadecimal digits each: HASH of the destination's
// file name, HOST of the machine (its machine id or host name), PID the
// writing process, TAG that process's start time and the boot it runs in,
// SEQ a running number. It fits wherever the final name
// fits: every operation names the file relative to an open handle of the
// folder, so the folder's path may be as long as the final path allows.
//
// A process killed while writing leaves its temporary file behind. The
// first temporary file a process creates in a folder sweeps that folder:
// it removes every temporary file of this machine whose writer is gone,
// that is whose PID no longer runs, or runs with another TAG (the PID was
// reused, or the machine restarted). A live writer's file is never
// removed; when the state of its writer cannot be read, or the writer ran
// on another machine sharing the folder, the file is kept. Temporary files of
// the earlier form ".NAME.PID.N.tmp" are removed the same way when their
// PID no longer runs.
//
// Failures raise Platform::CQ_FileException naming the destination (never
// the temporary name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "System/Export.h"

namespace Platform {

class OSTRAKON_API CQ_TemporaryFile {
 public:
  // Creates the temporary file for `destination` (a path, absolute or
  // relative to the working directory, that does not end with '/').
  explicit CQ_TemporaryFile(std::string destination);
  // Removes the temporary file unless v_Commit succeeded.
  ~CQ_TemporaryFile();

  CQ_TemporaryFile(const CQ_TemporaryFile&) = delete;
  CQ_TemporaryFile& operator=(const CQ_TemporaryFile&) = delete;

  // Writes all bytes; retries short writes and interruptions.
  void v_Write(const char* data, std::size_t size);

  // Flushes the file to the disk (so a power loss leaves the old or the
  // new file, never an empty one), closes it and renames it over the
  // destination. Before the first commit of the process the commit gate
  // (if one is set) runs and may raise to abandon the commit. On failure
  // the temporary file is removed and the exception raised. Nothing may be
  // written afterwards.
  void v_Commit();

  // Raises (and removes the temporary file) when the rename is bound to
  // fail because a folder stands under the destination's name. A caller
  // that commits several files checks them all first, so that one in the
  // way leaves every destination as it was.
  void v_CheckDestination();

  // Closes and removes the temporary file without touching the
  // destination. Safe to call more than once.
  void v_Discard();

  const std::string& rcs_GetPath() const { return m_strPath; }
  // The temporary file's name within the destination's folder.
  const std::string& rcs_GetTemporaryName() const { return m_strTemporaryName; }

  // The temporary name a writer with this process id, tag and running
  // number uses for `fileName` (a name without folder).
  static std::string scs_TemporaryName(const std::string& fileName, std::uint32_t pid, std::uint32_t tag,
                                       std::uint32_t sequence);
  // This process's tag; 0 when the system does not tell a process's start
  // time.
  static std::uint32_t sn_ProcessTag();
  // True when the file name is a temporary name of either form whose
  // writer is gone.
  static bool sb_IsLeftover(const std::string& fileName);
  // Removes the leftovers in the folder ("" for the working directory) once
  // per process; later calls for the same folder do nothing. Returns the
  // number of files removed.
  static std::size_t sn_SweepFolderOnce(const std::string& folder);

  // A function run once, before the first commit of the process; it may
  // raise to abandon the commit (the temporary file is then removed). Null
  // for none. Used by a parallel batch to keep the order of its commits.
  using CommitGate = void (*)();
  static void sv_SetCommitGate(CommitGate gate);
  // Runs the commit gate if it has not run yet in this process: for a
  // caller about to change a final name by other means (removing a file).
  static void sv_PassCommitGate();

 private:
  [[noreturn]] void v_Fail(int error);
  std::string ccs_FileName() const;

  std::string m_strPath;
  std::string m_strTemporaryName;
  int m_iFolder = -1;
  int m_iDescriptor = -1;
  bool m_bCommitted = false;
};

}  // namespace Platform
