// The per-file result codes of the kernel: what a converter, reader or check
// raises (as a thrown int, so every driver's `catch (int)` takes it) or
// returns, and what b_ErrorReporting (ErrorReporting.cpp) turns into the lines
// of the results list. The table there maps each code, per task, to the
// Msg:: ids of its lines; a code it does not list is an unknown parser error.
//
// The numbers are kept as they are: results logs, tests and the parallel
// batch's pipes carry them.
#pragma once

namespace Result {

// --- every task ----------------------------------------------------------------
inline constexpr int OK = 0;                 // converted or verified
inline constexpr int CANCELLED = 1;          // the user pressed Cancel while the file ran: the batch ends
inline constexpr int BATCH_CANCELLED = 2;    // Cancel answered to a question before the file: the batch ends
inline constexpr int FILE_SKIPPED = 3;       // No answered to a question: this file is left alone
inline constexpr int ALREADY_REPORTED = 4;   // a file or archive error has added its own lines
inline constexpr int OUT_OF_MEMORY = 5;      // the batch ends
inline constexpr int DAMAGED = 6;            // the input is damaged: brackets, ids or structure do not fit
inline constexpr int DISK_FULL = 7;          // not enough disk space for the outputs
inline constexpr int UNEXPECTED_END = 8;     // the input ends before its structure does
inline constexpr int INTERNAL_ERROR = 9;     // an internal consistency check failed: a bug, not the document
inline constexpr int UNEXPECTED_ANSWER = 100;  // a question got an answer it does not offer
inline constexpr int NO_CONVERTER = -1;      // the build has no converter for this task

// --- Interleaf ASCII input (reported, not raised by the FrameMaker build) --------
inline constexpr int IL_NOT_INTERLEAF_ASCII = 1000;
inline constexpr int IL_VERSION = 1010;
inline constexpr int IL_REVISION_TRACKING = 1030;
inline constexpr int IL_SPLIT_DOCUMENT = 1040;
inline constexpr int IL_EDITED = 1050;  // 1050 and 1080 to 1110: a hand-edited file
inline constexpr int IL_INDEX_MARKER_TOO_LONG = 1060;
inline constexpr int IL_JAPANESE_NOT_SHIFT_JIS = 1070;
inline constexpr int IL_EDITED_2 = 1080;
inline constexpr int IL_EDITED_3 = 1090;
inline constexpr int IL_EDITED_4 = 1100;
inline constexpr int IL_EDITED_5 = 1110;

// --- MIF input (forward conversion) ----------------------------------------------
inline constexpr int NOT_MIF = 2000;                  // no <MIFFile header
inline constexpr int MIF_VERSION = 2010;              // not MIF 4.0, 5.0 or 5.5
inline constexpr int MIF7_TEXT = 2015;                // MIF 7.0 text that cannot be converted yet
inline constexpr int AUTO_CHANGE_BARS = 2030;         // automatic change bars are on
inline constexpr int CHANGE_BARS_IN_FORMAT = 2040;    // a paragraph or character format has change bars
inline constexpr int IXGEN_MARKERS = 2050;            // IXgen markers not collapsed
inline constexpr int MARKER_PLACEHOLDERS_REQUIRED = 2070;  // structured markup needs marker placeholders
inline constexpr int NOT_KWX = 2080;                  // the first line is no KWX header
inline constexpr int EUC_TO_SJIS_FAILED = 2090;       // the EUC-JP copy could not be made
inline constexpr int EUC_TW = 2100;                   // EUC-TW encoded MIF

// --- batches ----------------------------------------------------------------------
inline constexpr int SAME_NAME_IN_BATCH = 3200;       // outputs would replace another file's
inline constexpr int WOULD_REPLACE_SOURCE = 3210;     // the check has added its lines with the file's name

// --- KWX and RTF input (back conversion, verification) ----------------------------
inline constexpr int IL_NOT_KWX = 5000;               // an Interleaf-side file that is no KWX file
inline constexpr int NOT_RTF = 5010;
inline constexpr int RTF_PARSER_ERROR = 5020;
inline constexpr int CONVERTER_REPORTED = 5030;       // 5030, 5040, 5060: the converter has added its lines
inline constexpr int CONVERTER_REPORTED_2 = 5040;
inline constexpr int RTF_EMPTY_FILE = 5050;
inline constexpr int CONVERTER_REPORTED_3 = 5060;
inline constexpr int KWX_MORE_RECENT = 5070;          // made by a more recent version
inline constexpr int KWX_FOR_FRAMEMAKER = 5080;       // made for FrameMaker, read as Interleaf
inline constexpr int NO_CATALOG_TEXT = 5100;          // no text of this catalog in the ancillary file
inline constexpr int SJIS_TO_EUC_FAILED = 5110;
inline constexpr int KWX_PREVIOUS = 5120;             // made by a previous version
inline constexpr int KWX_FOR_INTERLEAF = 6000;        // made for Interleaf
inline constexpr int KWX_NO_CHARSET = 6010;           // no valid <sourcecharset> line
inline constexpr int KWX_NO_LANGUAGE = 6020;          // no valid <sourcelanguage> line
inline constexpr int KWX_NO_HYPHENATION = 6030;       // no valid <sourcehyphenation> line
inline constexpr int KWX_NO_SOURCE_PATH = 6040;       // no valid <sourcepath> line
inline constexpr int KWX_UNKNOWN_LANGUAGE = 6050;     // the language name is not known
inline constexpr int ANCILLARY_ALONE = 6060;          // the ancillary file given as a file of its own
inline constexpr int KWX_NO_QUOTES = 7000;            // no valid <sourcequotes> line
inline constexpr int KWX_NO_READ_ONLY = 7010;         // no valid <sourcereadonly> line

// --- verification -------------------------------------------------------------------
inline constexpr int TAG_ERRORS = 10000;              // back conversion: errors in the translated file's tags
inline constexpr int ANCILLARY_TAG_ERRORS = 10010;    // back conversion: errors in the ancillary section's tags
inline constexpr int VERIFICATION_FAILED = 10020;     // the brackets of source or target are broken
inline constexpr int VERIFICATION_COMPLETE = 10030;
inline constexpr int KWX_VERSION_MISMATCH = 10040;    // verifier: the pair's versions differ

}  // namespace Result
