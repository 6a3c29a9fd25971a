// TScriptInstall: creation, script loading, [Project] accessors, the part
// list, the file result counters and the status report.
#include "engine/ScriptInstall.h"

#include "common/Ansi.h"
#include "common/Messages.h"
#include "common/PathNormal.h"
#include "common/Paths.h"
#include "common/RegistryAccess.h"
#include "common/RegistryVariables.h"
#include "common/Text.h"
#include "platform/FileSystem.h"

namespace setup {

namespace {

// True when the start of the script has line feeds but no carriage return:
// such a script (written with Unix line ends) reads as a single line.
bool HasOnlyUnixLineEnds(const std::string& path) {
    plat::File file;
    if (!file.open(path, plat::OpenMode::Read)) return false;
    std::string head(64 * 1024, '\0');
    const int64_t read = file.read(head.data(), head.size());
    if (read <= 0) return false;
    head.resize(static_cast<size_t>(read));
    return head.find('\n') != std::string::npos && head.find('\r') == std::string::npos;
}

} // namespace

TScriptInstall::TScriptInstall(InstallerWindow* owner, TFileHandler& fileHandler)
    : Owner(owner), FileHandler(&fileHandler) {}

TScriptInstall::~TScriptInstall() {
    // Deinst.ins of an interrupted run is still written by its own destructor.
    UninstallScript.reset();
    Script.reset();
}

setup::Owner TScriptInstall::MessageOwner() const {
    return Owner ? Owner->Handle() : ActiveForm;
}

void TScriptInstall::LoadScript(const std::string& path) {
    Script.reset();
    FileHandler->ResetCounters();
    GroupList.clear();
    Script = std::make_unique<const script::Model>(path);
    if (HasOnlyUnixLineEnds(path))
        InfoMessage(MessageOwner(), path + "\rDas Installationsscript hat Zeilenenden ohne CR "
                                           "(LF, Unix-Format) und wird als eine einzige Zeile "
                                           "gelesen.");
    const std::string folder = ExtractFilePath(path);
    ReportMissing = !plat::fileExists(folder + "$MissingList.txt");
    const script::ProjectRecord& project = Script->Project();
    InstallRootDir = folder + project.installPath.text;
    if (InstallRootDir.empty() || InstallRootDir.back() != '\\') InstallRootDir += '\\';
    ProjectName = project.name.text;
    SetTargetDir(GetDefaultTargetDir());
    GroupName = project.group.Or("Group= (untitled)");
}

std::string ScriptProblem(const script::Model& script, bool mainScript) {
    if (!script.LoadError().empty())
        return "Das Installationsscript " + script.FileName() + " kann nicht gelesen werden:\r\n" +
               script.LoadError() + ".";
    if (!mainScript || script.HasSection("Project")) return {};
    std::string text = "Das Installationsscript " + script.FileName() +
                       " hat keinen Abschnitt [Project]: es wird nichts installiert.";
    if (HasOnlyUnixLineEnds(script.FileName()))
        text += "\r\nSeine Zeilen enden ohne CR (LF, Unix-Format): es wird als eine einzige "
                "Zeile gelesen.";
    return text;
}

void TScriptInstall::SetTargetDir(const std::string& path) {
    TargetDir = path;
    if (TargetDir.empty() || TargetDir.back() != '\\') TargetDir += '\\';
}

bool TScriptInstall::CheckTargetDir() {
    std::string full;
    if (!FullFolderPath(TargetDir, full)) {
        InfoMessage(MessageOwner(), texts::TargetNotFull1 + TargetDir + texts::TargetNotFull2);
        return false;
    }
    if (plat::readOnlyDrive(full)) {
        InfoMessage(MessageOwner(), texts::TargetNotFull1 + full + texts::TargetReadOnly);
        return false;
    }
    TargetDir = full;
    return true;
}

std::string TScriptInstall::GetScriptPath() const {
    return Script ? Script->FileName() : std::string();
}

std::string TScriptInstall::GetHeadLine() {
    return Script ? Script->Project().headLine.Or(ProjectName) : ProjectName;
}

std::string TScriptInstall::GetCopyright() {
    return Script ? Script->Project().copyright.text : std::string();
}

std::string TScriptInstall::GetWWW() {
    return Script ? Script->Project().www.text : std::string();
}

std::string TScriptInstall::GetEMail() {
    return Script ? Script->Project().email.text : std::string();
}

int64_t TScriptInstall::GetProjectBytes() {
    return Script ? static_cast<int64_t>(Script->Project().bytes.Integer(100000)) : 0;
}

bool TScriptInstall::GetNeed83() {
    return Script && Script->Project().need83.Bool(false);
}

bool TScriptInstall::GetRestorePoint() {
    return Script && Script->Project().restorePoint.Bool(false);
}

bool TScriptInstall::ExpandPlaceholders(std::string& value) {
    return ExpandRegistryVariables(value, true);
}

std::string TScriptInstall::GetPreviousInstallDir() {
    return ReadRegistryString("R\\Installs\\", ProjectName, "");
}

std::string TScriptInstall::GetDefaultTargetDir() {
    if (Script && Script->Project().fromTarvel.Bool(false)) {
        // The viewer program keeps its projects' folders as key default values.
        std::string dir =
            ReadRegistryString("R\\Tarvel.exe\\Projects\\" + ProjectName + "\\dir", "", "");
        if (!dir.empty()) return dir;
    }
    std::string previous = GetPreviousInstallDir();
    if (!previous.empty()) return previous;
    std::string path =
        Script ? Script->Project().targetPath.Or("%PDIR%\\Qorv\\XXX") : "%PDIR%\\Qorv\\XXX";
    Substitute(path); // a failure leaves the partly substituted text, which is used
    return path;
}

bool TScriptInstall::BuildPartList() {
    FileHandler->OnFileDone = [this](uint8_t kind) { CountFileResult(*FileHandler, kind); };
    AbortRequested = false;
    if (Script) {
        for (const script::Numbered& entry : Script->Project().parts) {
            std::string part = script::Expanded(entry.value);
            if (part.empty()) break;
            PartList.push_back(part);
        }
    }
    IPath = Script ? Script->Project().installPath.text : std::string();
    if (!IPath.empty() && IPath.back() != '\\') IPath += '\\';
    return true;
}

const script::PartRecord& TScriptInstall::PartOf(const std::string& section) const {
    static const script::Model none("");
    return (Script ? *Script : none).Part(section);
}

void TScriptInstall::AddToFileList(const std::string& path, int result) {
    if (!ProjectFileList || path.empty()) return;
    ProjectFileList->push_back({AnsiUpperCase(path), result});
}

bool TScriptInstall::RunLeftSomethingOut() const {
    return LeftOut || FailedCount != 0 || CancelledCount != 0 ||
           FileHandler->MissingSources != missingSourcesAtStart_;
}

void TScriptInstall::CountFileResult(TFileHandler& fileHandler, uint8_t result) {
    AddToFileList(fileHandler.DestName, result);
    switch (result) {
    case 0:
        ++FailedCount;
        break;
    case 1:
        ++CancelledCount;
        break;
    case 2:
        ++UnchangedCount;
        break;
    case 3:
        ++UpdatedCount;
        break;
    default:
        break;
    }
}

char TScriptInstall::ReadDiagnoseMode() {
    const std::string value = ReadRegistryString("M\\Software\\Qorv\\", "Diagnose", "");
    return value.empty() ? ' ' : value[0];
}

void TScriptInstall::ReportStatus(const std::string& name, const std::string& detail) {
    lastStatus_ = name;
    if (OnStatus) OnStatus(*this, name, detail);
}

} // namespace setup

namespace setup {

void TScriptInstall::RecordCreatedFolder(const std::string& created) {
    // The record names the folder itself, never a way to it through "..".
    const std::string folder = NormalPath(created);
    if (!UninstallScript) {
        pendingFolders_.push_back(folder);
        return;
    }
    UninstallScript->WriteString("Pathes", "P" + std::to_string(PathCounter), folder);
    ++PathCounter;
}

} // namespace setup
