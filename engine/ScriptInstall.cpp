// TScriptInstall: creation, script loading, [Project] accessors, the part
// list, the file result counters and the status report.
#include "engine/ScriptInstall.h"

#include <utility>

#include "common/Ansi.h"
#include "common/Messages.h"
#include "common/PathNormal.h"
#include "common/Paths.h"
#include "common/RegistryAccess.h"
#include "common/RegistryVariables.h"
#include "common/Text.h"
#include "engine/CopyQuestions.h"
#include "script/Substitute.h"
#include "system/Programs.h"
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

TScriptInstall::TScriptInstall(InstallerWindow* owner, TFileHandler& fileHandler, Effects& effects)
    : owner_(owner), recording_(effects), copierEffects_(&fileHandler.CurrentEffects()),
      run_(fileHandler, recording_) {
    run_.decisions = CopyDecisions(AskCopyQuestion);
    fileHandler.SetEffects(recording_);
    run_.messageOwner = [this] { return MessageOwner(); };
    run_.onStatus = [this](const std::string& name, const std::string& detail) {
        if (OnStatus) OnStatus(*this, name, detail);
    };
    copierQuestions_ = std::exchange(
        fileHandler.OnQuestion, [this](const CopyQuestion& q) { return run_.decisions.Decide(q); });
}

TScriptInstall::~TScriptInstall() {
    // An engine made for the same copier meanwhile has ended already (they
    // live nested): the copier gets back the handler it had before.
    run_.copier.OnQuestion = std::move(copierQuestions_);
    run_.copier.SetEffects(*copierEffects_);
    // Deinst.ins of an interrupted run is still written by its own destructor.
    recording_.SetJournal(nullptr);
    journal_.reset();
    run_.record.reset();
    run_.script = nullptr;
    script_.reset();
}

setup::Owner TScriptInstall::MessageOwner() const {
    return owner_ ? owner_->Handle() : ActiveForm;
}

void TScriptInstall::LoadScript(const std::string& path) {
    run_.script = nullptr;
    script_.reset();
    run_.copier.ResetCounters();
    run_.groupList.clear();
    script_ = std::make_unique<const script::Model>(path);
    run_.script = script_.get();
    if (HasOnlyUnixLineEnds(path))
        InfoMessage(MessageOwner(), path + "\rDas Installationsscript hat Zeilenenden ohne CR "
                                           "(LF, Unix-Format) und wird als eine einzige Zeile "
                                           "gelesen.");
    const std::string folder = ExtractFilePath(path);
    run_.reportMissing = !plat::fileExists(folder + "$MissingList.txt");
    const script::ProjectRecord& project = script_->Project();
    run_.installRoot = folder + project.installPath.text;
    if (run_.installRoot.empty() || run_.installRoot.back() != '\\') run_.installRoot += '\\';
    run_.projectName = project.name.text;
    SetTargetDir(GetDefaultTargetDir());
    groupName_ = project.group.Or("Group= (untitled)");
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
    run_.targetDir = path;
    if (run_.targetDir.empty() || run_.targetDir.back() != '\\') run_.targetDir += '\\';
}

bool TScriptInstall::CheckTargetDir() {
    std::string full;
    if (!FullFolderPath(run_.targetDir, full)) {
        InfoMessage(MessageOwner(), texts::TargetNotFull1 + run_.targetDir + texts::TargetNotFull2);
        return false;
    }
    if (plat::readOnlyDrive(full)) {
        InfoMessage(MessageOwner(), texts::TargetNotFull1 + full + texts::TargetReadOnly);
        return false;
    }
    run_.targetDir = full;
    return true;
}

std::string TScriptInstall::GetScriptPath() const {
    return script_ ? script_->FileName() : std::string();
}

std::string TScriptInstall::GetHeadLine() const {
    return script_ ? script_->Project().headLine.Or(run_.projectName) : run_.projectName;
}

std::string TScriptInstall::GetCopyright() const {
    return script_ ? script_->Project().copyright.text : std::string();
}

std::string TScriptInstall::GetWWW() const {
    return script_ ? script_->Project().www.text : std::string();
}

std::string TScriptInstall::GetEMail() const {
    return script_ ? script_->Project().email.text : std::string();
}

int64_t TScriptInstall::GetProjectBytes() const {
    return script_ ? static_cast<int64_t>(script_->Project().bytes.Integer(100000)) : 0;
}

bool TScriptInstall::GetNeed83() const {
    return script_ && script_->Project().need83.Bool(false);
}

bool TScriptInstall::GetRestorePoint() const {
    return script_ && script_->Project().restorePoint.Bool(false);
}

std::string TScriptInstall::GetPreviousInstallDir() const {
    return ReadRegistryString("R\\Installs\\", run_.projectName, "");
}

std::string TScriptInstall::GetDefaultTargetDir() const {
    if (script_ && script_->Project().fromTarvel.Bool(false)) {
        // The viewer program keeps its projects' folders as key default values.
        std::string dir =
            ReadRegistryString("R\\Tarvel.exe\\Projects\\" + run_.projectName + "\\dir", "", "");
        if (!dir.empty()) return dir;
    }
    std::string previous = GetPreviousInstallDir();
    if (!previous.empty()) return previous;
    std::string path =
        script_ ? script_->Project().targetPath.Or("%PDIR%\\Qorv\\XXX") : "%PDIR%\\Qorv\\XXX";
    setup::Substitute(path); // a failure leaves the partly substituted text, which is used
    return path;
}

bool TScriptInstall::BuildPartList() {
    run_.copier.OnFileDone = [this](FileKind kind) { CountFileResult(run_.copier, kind); };
    AbortRequested = false;
    if (script_) {
        for (const script::Numbered& entry : script_->Project().parts) {
            std::string part = script::Expanded(entry.value);
            if (part.empty()) break;
            partList_.push_back(part);
        }
    }
    iPath_ = script_ ? script_->Project().installPath.text : std::string();
    if (!iPath_.empty() && iPath_.back() != '\\') iPath_ += '\\';
    return true;
}

bool TScriptInstall::RunLeftSomethingOut() const {
    return run_.counters.leftOut || run_.counters.failed != 0 || run_.counters.cancelled != 0 ||
           run_.copier.MissingSources != missingSourcesAtStart_;
}

void TScriptInstall::CountFileResult(TFileHandler& fileHandler, FileKind kind) {
    run_.AddToFileList(fileHandler.DestName, FileKindNumber(kind));
    switch (kind) {
    case FileKind::Failed:
        ++run_.counters.failed;
        break;
    case FileKind::Cancelled:
        ++run_.counters.cancelled;
        break;
    case FileKind::Skipped:
        ++run_.counters.unchanged;
        break;
    case FileKind::Copied:
        ++run_.counters.updated;
        break;
    default:
        break;
    }
}

char TScriptInstall::ReadDiagnoseMode() {
    const std::string value = ReadRegistryString("M\\Software\\Qorv\\", "Diagnose", "");
    return value.empty() ? ' ' : value[0];
}

} // namespace setup

namespace setup {

bool TScriptInstall::CheckRun(bool stopRequested) {
    return CheckRunningPrograms(run_, stopRequested);
}

void TScriptInstall::RecordCreatedFolder(const std::string& created) {
    // The record names the folder itself, never a way to it through "..".
    const std::string folder = NormalPath(created);
    if (!run_.record) {
        pendingFolders_.push_back(folder);
        return;
    }
    run_.record->WriteString("Pathes", "P" + std::to_string(run_.pathCounter), folder);
    ++run_.pathCounter;
}

} // namespace setup
