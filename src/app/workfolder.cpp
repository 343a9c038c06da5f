#include "app/workfolder.h"

#include "platform/appfolder.h"

namespace dotreel {

namespace {

const char* const kDataFolder = "/データー";
const char* const kSettingsFolder = "/設定";

bool holdsData(const std::string& folder) {
    return isFolder(folder + kDataFolder) || isFolder(folder + kSettingsFolder);
}

}  // namespace

WorkFolderFacts lookAround(const std::string& given) {
    WorkFolderFacts facts;
    if (!given.empty()) facts.given = absoluteFolder(given);
    facts.programFolder = applicationFolder();
    facts.programFolderHoldsData = holdsData(facts.programFolder);
    facts.programFolderWritable = canWriteFolder(facts.programFolder);
    const std::string shared = absoluteFolder(facts.programFolder + "/../share/dotreel");
    if (holdsData(shared)) facts.sharedDemo = shared;
    const std::string home = userDataHome();
    if (!home.empty()) facts.userFolder = absoluteFolder(home + "/dotreel");
    return facts;
}

WorkFolder chooseWorkFolder(const WorkFolderFacts& facts) {
    const std::string demo = !facts.sharedDemo.empty()      ? facts.sharedDemo
                             : facts.programFolderHoldsData ? facts.programFolder
                                                            : std::string();
    if (!facts.given.empty()) return {WorkFolderKind::Given, facts.given, demo};
    const bool portable =
        facts.programFolderHoldsData || (facts.programFolderWritable && facts.sharedDemo.empty());
    if (portable) return {WorkFolderKind::BesideProgram, facts.programFolder, {}};
    if (!facts.userFolder.empty()) return {WorkFolderKind::PerUser, facts.userFolder, demo};
    return {};
}

void prepareWorkFolder(const WorkFolder& folder) {
    if (folder.kind == WorkFolderKind::None || holdsData(folder.path)) return;
    makeFolders(folder.path + kDataFolder);
    makeFolders(folder.path + kSettingsFolder);
    if (folder.demoSource.empty() || folder.demoSource == folder.path) return;
    copyMissingFiles(folder.demoSource + kDataFolder, folder.path + kDataFolder);
    copyMissingFiles(folder.demoSource + kSettingsFolder, folder.path + kSettingsFolder);
}

std::string describeWorkFolder(const WorkFolder& folder) {
    switch (folder.kind) {
        case WorkFolderKind::Given:
            return "Work folder: " + folder.path + " (named on the command line)";
        case WorkFolderKind::BesideProgram:
            return "Work folder: " + folder.path + " (beside the program: a portable install)";
        case WorkFolderKind::PerUser:
            return "Work folder: " + folder.path + " (your own; set XDG_DATA_HOME to move it)";
        case WorkFolderKind::None:
            break;
    }
    return "Work folder: none found (no HOME); name one: dotreel FOLDER";
}

}  // namespace dotreel
