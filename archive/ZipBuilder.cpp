#include "archive/ZipBuilder.h"

#include <algorithm>
#include <map>

#include "archive/Zbmsgstr.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"
#include "ui/Application.h"

namespace archive {

namespace {

// The member of a set property by its description name; throws for an unknown one.
template <size_t N>
uint32_t SetFromNames(const ui::PropValue& v, const std::string& prop,
                      const char* const (&names)[N]) {
    if (v.kind != ui::PropValue::Kind::Set)
        throw ui::Exception("Form description, line " + std::to_string(v.line) + ": " + prop +
                            " needs a set");
    uint32_t bits = 0;
    for (const std::string& member : v.set) {
        const auto it = std::find_if(std::begin(names), std::end(names),
                                     [&](const char* n) { return member == n; });
        if (it == std::end(names))
            throw ui::Exception("Form description, line " + std::to_string(v.line) + ": " + member +
                                " is not a member of " + prop);
        bits |= 1u << (it - std::begin(names));
    }
    return bits;
}

const char* const kStoreSuffixNames[] = {
    "assGIF", "assPNG",  "assJPG", "assJPEG", "assZ",   "assZIP", "assZOO", "assARC",
    "assLZH", "assARJ",  "assTAZ", "assTGZ",  "assLHA", "assRAR", "assACE", "assCAB",
    "assGZ",  "assGZIP", "assJAR", "assEXE",  "assEXT", "ass7Z",  "assMP3"};
static_assert(std::size(kStoreSuffixNames) == assCount);

const char* const kSfxOptionNames[] = {
    "SFXAskCmdLine",       "SFXAskFiles",        "SFXAutoRun",
    "SFXHideOverWriteBox", "SFXMakeAuto",        "SFXNoSuccessMsg",
    "SFXExpandVariables",  "SFXInitialShowHide", "SFXCheckSize"};
static_assert(std::size(kSfxOptionNames) == SFXOptsCount);

const char* const kExtrOptionNames[] = {"ExtrDirNames", "ExtrOverWrite", "ExtrFreshen",
                                        "ExtrUpdate",   "ExtrForceDirs", "ExtrTest"};

// Runs Done when it leaves scope, so the bracket closes also when the operation raises.
class DoneGuard {
public:
    explicit DoneGuard(TCustomZipBuilder& c) : c_(c) {}
    ~DoneGuard() { c_.Done(); }
    DoneGuard(const DoneGuard&) = delete;
    DoneGuard& operator=(const DoneGuard&) = delete;

private:
    TCustomZipBuilder& c_;
};

}  // namespace

namespace {

// The application's top-level window, null while it has none.
void* MainWindowHandle() {
    const ui::Form* form = ui::Application::Instance().MainForm();
    return form ? form->Handle() : nullptr;
}

}  // namespace

TCustomZipBuilder::TCustomZipBuilder(ui::Component* owner, std::string name)
    : ui::Component(owner, std::move(name)), worker_(std::make_unique<TZBWorker>(this)) {
    WindowHandle = MainWindowHandle();
    // A component made by a form is loading while the form reads its description.
    if (owner && owner->Designing()) {
        SetComponentState(ComponentState() | ui::csDesigning);
        activeState_ = 3;
    } else if (owner && owner->Loading()) {
        SetComponentState(ComponentState() | ui::csLoading);
        activeState_ = 2;
    } else {
        activeState_ = 1;
        worker_->SetActive(true);
    }
}

TCustomZipBuilder::~TCustomZipBuilder() {
    // Before destruction the worker stops listening; then it goes with its engine.
    worker_->SetActive(false);
    worker_.reset();
}

void TCustomZipBuilder::Loaded() {
    ui::Component::Loaded();
    if (Designing()) return;
    ZipSelectLanguage(language_);
    if (activeState_ == 2 && Starting() == 0) {
        worker_->SetActive(true);
        Done();
    } else {
        worker_->SetActive(false);
    }
}

void TCustomZipBuilder::SetActive(bool value) {
    const bool wasActive = activeState_ != 0;
    activeState_ = 0;
    if (Designing()) {
        if (value) activeState_ = 3;
        return;
    }
    if (Loading()) {
        if (value) activeState_ = 2;
        return;
    }
    if (busy_) {
        activeState_ = value ? 1 : -1;
        return;
    }
    if (value) {
        activeState_ = 1;
        if (!wasActive && Starting() == 0) {
            worker_->SetActive(true);
            Done();
            return;
        }
    }
    worker_->SetActive(false);
}

int32_t TCustomZipBuilder::Starting() {
    if (Designing() || Loading()) return -256;
    if (activeState_ == 0 || !Stopped()) return -255;
    try {
        CopySettingsToWorker();
        worker_->SetActive(true);
        worker_->StartOperation();
        busy_ = true;
        reentered_ = false;
        worker_->SetLoaded(dllLoad_);
        return 0;
    } catch (const EZipBuilder& e) {
        busy_ = false;
        worker_->ShowExceptionError(e);
        return e.MessageId();
    } catch (...) {
        busy_ = false;
        return -9;
    }
}

void TCustomZipBuilder::CopySettingsToWorker() {
    TZBWorker& w = *worker_;
    w.Sender = this;
    w.ErrCode = 0;
    w.AddCompLevel = AddCompLevel;
    w.AddFrom = AddFrom;
    w.AddOptions = AddOptions;
    w.AddStoreSuffixes = AddStoreSuffixes;
    w.CopyBufferSize = 65536;
    w.ExtAddStoreSuffixes = ExtAddStoreSuffixes;
    w.CodePage = CodePage;
    w.ExtrBaseDir = ExtrBaseDir;
    w.ExtrOptions = ExtrOptions;
    w.Unattended = Unattended;
    w.Verbose = Verbose;
    w.Trace = Trace;
    w.SetDllDirectory(DLLDirectory);
    w.BackgroundMode = BackgroundMode;
    w.ConfirmErase = ConfirmErase;
    w.KeepFreeOnAllDisks = KeepFreeOnAllDisks;
    w.KeepFreeOnDisk1 = KeepFreeOnDisk1;
    w.MaxVolumeSize = MaxVolumeSize;
    w.MinFreeVolumeSize = MinFreeVolumeSize;
    w.SpanOptions = SpanOptions;
    w.FSpecArgs = fSpecArgs_;
    w.FSpecArgsExcl = fSpecArgsExcl_;
    // A component made with its form, before the form had a window, takes it now.
    if (!WindowHandle) WindowHandle = MainWindowHandle();
    w.WindowHandle = WindowHandle;
    w.HowToDelete = HowToDelete;
    w.Password = Password;
    w.PasswordReqCount = std::min<uint32_t>(passwordReqCount_, 15);
    w.RootDir = RootDir;
    TakeOverTempDir();
    w.UseDirOnlyEntries = UseDirOnlyEntries;
}

void TCustomZipBuilder::TakeOverTempDir() {
    if (TempDir != worker_->TempDir && !TempDir.empty()) {
        // Temporary files go on a local disk that stays in place while the program runs.
        const std::string root = platform::PathDrive(TempDir) + "\\";
        const unsigned type = platform::DriveType(root);
        if (type != platform::kDriveFixed && type != platform::kDriveRamDisk)
            throw EZipBuilder(kMsgCannotWrite, root);
    }
    worker_->TempDir = TempDir;
}

void TCustomZipBuilder::Done() {
    worker_->FinishOperation();
    busy_ = false;
    if (worker_->ReentryMark) reentered_ = true;
    fSpecArgs_ = worker_->FSpecArgs;
    fSpecArgsExcl_ = worker_->FSpecArgsExcl;
    if (activeState_ == -1) {
        activeState_ = 0;
        worker_->SetActive(false);
    }
}

bool TCustomZipBuilder::Stopped() {
    if (!busy_) return true;
    reentered_ = true;
    worker_->NoteReentry();
    return false;
}

void TCustomZipBuilder::Clear() {
    if (Designing() || Loading() || activeState_ == 0 || !Stopped()) return;
    worker_->Clear();
    Done();
    reentered_ = false;
}

void TCustomZipBuilder::SetFileName(const std::string& name) {
    if (Designing() || Loading()) {
        worker_->SetActive(false);
        worker_->SetZipFileName(name);
        return;
    }
    if (Starting() != 0) return;
    DoneGuard done(*this);
    worker_->SetZipFileName(name);
}

std::string TCustomZipBuilder::MakeTempFileName(const std::string& prefix,
                                                const std::string& extension) {
    const std::string pre = prefix.empty() ? "zip" : prefix;
    const std::string ext = extension.empty() ? ".zip" : extension;
    std::string folder = worker_->TempDir;
    if (folder.empty()) {
        folder = platform::TempFolder();
        if (folder.empty()) return "";
    } else if (folder.back() != '\\' && folder.back() != '/') {
        folder += '\\';
    }
    std::string name = platform::CreateTempFileName(folder, pre);
    if (name.empty()) return "";
    platform::RemoveFile(name);
    // The system's ".TMP" gives way to the caller's extension, dot or no dot.
    const size_t cut = name.find_last_of(".\\:");
    if (cut != std::string::npos && name[cut] == '.') name.erase(cut);
    return name + ext;
}

int32_t TCustomZipBuilder::Extract() {
    const int32_t start = Starting();
    if (start != 0) return start;
    DoneGuard done(*this);
    return worker_->Extract();
}

TZipStream* TCustomZipBuilder::ExtractFileToStream(const std::string& name) {
    if (Starting() != 0) return nullptr;
    DoneGuard done(*this);
    return worker_->ExtractFileToStream(name);
}

TZipStream* TCustomZipBuilder::ExtractStreamToStream(TZipStream* source, uint32_t size) {
    if (Starting() != 0) return nullptr;
    DoneGuard done(*this);
    return worker_->ExtractStreamToStream(source, size);
}

std::string TCustomZipBuilder::Dll_Path() {
    try {
        return worker_->GetDllPath();
    } catch (const EZipBuilder& e) {
        worker_->ShowExceptionError(e);
        return "";
    }
}

std::string TCustomZipBuilder::Dll_Version() {
    try {
        return worker_->GetDllVersionText();
    } catch (const EZipBuilder& e) {
        worker_->ShowExceptionError(e);
        return "";
    }
}

int32_t TCustomZipBuilder::Dll_Build() {
    try {
        return worker_->GetDllBuild();
    } catch (const EZipBuilder& e) {
        worker_->ShowExceptionError(e);
        return 0;
    }
}

int32_t TCustomZipBuilder::GetErrCode() const {
    return ComponentErrCode(reentered_, Active(), worker_->ErrCode);
}

std::string TCustomZipBuilder::GetErrMessage() const {
    return ComponentErrMessage(reentered_, Active(), worker_->ErrCode, worker_->ErrMessage);
}

bool TCustomZipBuilder::SetErrCode(int32_t value) {
    if (busy_) {
        Stopped();
        return false;
    }
    worker_->ErrCode = value;
    return true;
}

std::string TCustomZipBuilder::Language() const {
    return ZipGetLanguage(Designing() || Loading(), language_);
}

void TCustomZipBuilder::SetLanguage(const std::string& value) {
    ZipSetLanguage(Designing() || Loading(), language_, value);
}

void TCustomZipBuilder::SetDll_Load(bool value) {
    dllLoad_ = value;
    if (Designing() || Loading()) return;
    try {
        worker_->SetLoaded(value);
    } catch (const EZipBuilder& e) {
        dllLoad_ = false;
        worker_->ShowExceptionError(e);
    }
}

void TCustomZipBuilder::SetProperty(const std::string& prop, const ui::PropValue& v,
                                    const ui::HandlerTable& handlers) {
    // Texts of the description are UTF-8; the component keeps ANSI texts, which on every
    // host this program's descriptions use are plain ASCII.
    const std::map<std::string, std::string*> texts = {
        {"ExtrBaseDir", &ExtrBaseDir},
        {"Password", &Password},
        {"TempDir", &TempDir},
        {"DLLDirectory", &DLLDirectory},
        {"RootDir", &RootDir},
        {"ExtAddStoreSuffixes", &ExtAddStoreSuffixes},
        {"SFXCaption", &SFXCaption},
        {"SFXCommandLine", &SFXCommandLine},
        {"SFXDefaultDir", &SFXDefaultDir},
        {"SFXLanguage", &SFXLanguage},
        {"SFXMessage", &SFXMessage},
        {"SFXPath", &SFXPath}};
    const std::map<std::string, bool*> flags = {{"Unattended", &Unattended},
                                                {"Verbose", &Verbose},
                                                {"Trace", &Trace},
                                                {"UseDirOnlyEntries", &UseDirOnlyEntries},
                                                {"ConfirmErase", &ConfirmErase}};
    const std::map<std::string, int32_t*> numbers = {{"AddCompLevel", &AddCompLevel},
                                                     {"AddFrom", &AddFrom},
                                                     {"KeepFreeOnAllDisks", &KeepFreeOnAllDisks},
                                                     {"KeepFreeOnDisk1", &KeepFreeOnDisk1},
                                                     {"MaxVolumeSize", &MaxVolumeSize},
                                                     {"MinFreeVolumeSize", &MinFreeVolumeSize}};

    if (auto t = texts.find(prop); t != texts.end()) {
        *t->second = v.AsString(prop);
    } else if (auto f = flags.find(prop); f != flags.end()) {
        *f->second = v.AsBool(prop);
    } else if (auto n = numbers.find(prop); n != numbers.end()) {
        *n->second = static_cast<int32_t>(v.AsInteger(prop));
    } else if (prop == "Left" || prop == "Top") {
        // Where the designer placed the component's icon: nothing at run time.
    } else if (prop == "Active") {
        SetActive(v.AsBool(prop));
    } else if (prop == "ZipFileName") {
        SetFileName(v.AsString(prop));
    } else if (prop == "Language") {
        SetLanguage(v.AsString(prop));
    } else if (prop == "Dll_Load") {
        SetDll_Load(v.AsBool(prop));
    } else if (prop == "PasswordReqCount") {
        SetPasswordReqCount(static_cast<uint32_t>(v.AsInteger(prop)));
    } else if (prop == "CodePage") {
        const std::string& id = v.AsIdent(prop);
        if (id == "cpAuto")
            CodePage = cpAuto;
        else if (id == "cpNone")
            CodePage = cpNone;
        else if (id == "cpOEM")
            CodePage = cpOEM;
        else
            throw ui::Exception("Form description, line " + std::to_string(v.line) + ": " + id +
                                " is not a value of CodePage");
    } else if (prop == "AddStoreSuffixes") {
        AddStoreSuffixes = SetFromNames(v, prop, kStoreSuffixNames);
    } else if (prop == "SFXOptions") {
        SFXOptions = SetFromNames(v, prop, kSfxOptionNames);
    } else if (prop == "ExtrOptions") {
        ExtrOptions = static_cast<ExtrOpts>(SetFromNames(v, prop, kExtrOptionNames));
    } else if (prop == "OnMessage") {
        SetOnMessage(handlers.Get<TZipMessageEvent>(v.AsIdent(prop)));
    } else if (prop == "OnPasswordError") {
        SetOnPasswordError(handlers.Get<TZipPasswordErrorEvent>(v.AsIdent(prop)));
    } else if (prop == "OnCheckTerminate") {
        SetOnCheckTerminate(handlers.Get<TZipCheckTerminateEvent>(v.AsIdent(prop)));
    } else if (prop == "OnDirUpdate") {
        SetOnDirUpdate(handlers.Get<TZipNotifyEvent>(v.AsIdent(prop)));
    } else if (prop == "OnProgress") {
        SetOnProgress(handlers.Get<TZipProgressEvent>(v.AsIdent(prop)));
    } else if (prop == "OnItemProgress") {
        SetOnItemProgress(handlers.Get<TZipItemProgressEvent>(v.AsIdent(prop)));
    } else if (prop == "OnTotalProgress") {
        SetOnTotalProgress(handlers.Get<TZipTotalProgressEvent>(v.AsIdent(prop)));
    } else {
        ui::Component::SetProperty(prop, v, handlers);
    }
}

void RegisterZipBuilderClass() {
    ui::RegisterComponentClass("TZipBuilder", [](ui::Component* owner, const std::string& name) {
        return std::make_unique<TZipBuilder>(owner, name);
    });
}

}  // namespace archive
