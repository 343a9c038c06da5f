// Where the editor keeps its work: the folder that holds "データー" and "設定". A folder named on
// the command line wins; else the folder beside the program when it is a portable install; else
// a folder of the user's own, created with the demo animation the first time.
#pragma once

#include <string>

namespace dotreel {

// What the choice depends on, gathered from the disk and the environment by lookAround().
struct WorkFolderFacts {
    std::string given;                    // named on the command line (absolute); empty when none
    std::string programFolder;            // the folder of the running executable
    bool programFolderHoldsData = false;  // "データー" or "設定" is there
    bool programFolderWritable = false;
    std::string sharedDemo;  // PREFIX/share/dotreel of a system install, when it holds the demo
    std::string userFolder;  // the per-user working folder; empty when no home is known
};

enum class WorkFolderKind { Given, BesideProgram, PerUser, None };

struct WorkFolder {
    WorkFolderKind kind = WorkFolderKind::None;
    std::string path;        // no trailing separator
    std::string demoSource;  // where a new folder's demo is copied from; empty: no demo at hand
};

WorkFolderFacts lookAround(const std::string& given);

// A program in a system install (beside PREFIX/share/dotreel) never works in its own bin/ folder,
// even when it may write there: that folder is shared by every user and every program.
WorkFolder chooseWorkFolder(const WorkFolderFacts& facts);

// Gives a folder that holds neither "データー" nor "設定" both folders, with the demo's files when
// a demo is at hand. An existing data or settings folder is never touched, so a user's work is
// never overwritten. Throws PlatformError when a folder or file cannot be made.
void prepareWorkFolder(const WorkFolder& folder);

// One line for --help: the folder and why it was chosen.
std::string describeWorkFolder(const WorkFolder& folder);

}  // namespace dotreel
