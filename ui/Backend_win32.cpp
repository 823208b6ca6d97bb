// The Win32 backend: every control of the model becomes a native window (common controls v6),
// and what the user does comes back to the model through the control's User* calls.
//
// Standard controls (STATIC, EDIT, BUTTON, progress bar) notify their parent; the parents are
// windows of our own classes (form and panel), which hand each notification to the peer of the
// control that sent it. Bevels and pictures are small windows of our own classes that paint
// themselves. No C++ exception ever leaves a window procedure.
//
// The model keeps the window description's coordinates and font sizes, which are drawn for
// 96 dpi. The program is per-monitor dpi aware (its manifest says so): every window of a form
// gets the model's values scaled to the dpi of the monitor the form is on, and again when the
// form moves to a monitor of another dpi (WM_DPICHANGED). What the backend measures for the
// model (text, fields, frames, the screen) it hands back in 96-dpi units.
#include <windows.h>
//
#include <commctrl.h>
#include <shellscalingapi.h>
#include <wincodec.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Modules.h"
#include "platform/Text.h"
#include "ui/Application.h"

namespace ui {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 captions are passed as wchar_t");

const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

std::u16string WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return {};
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    const int got = GetWindowTextW(hwnd, reinterpret_cast<wchar_t*>(&text[0]), length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

COLORREF Resolve(Color c) {
    return c.IsSystem() ? GetSysColor(c.SystemIndex()) : COLORREF(c.value & 0x00FFFFFF);
}

constexpr wchar_t kPeerProp[] = L"SetupIVox.Peer";
constexpr wchar_t kFormClass[] = L"SetupIVox.Form";
constexpr wchar_t kPanelClass[] = L"SetupIVox.Panel";
constexpr wchar_t kBevelClass[] = L"SetupIVox.Bevel";
constexpr wchar_t kImageClass[] = L"SetupIVox.Image";

// Control identifiers start above IDOK and IDCANCEL, which the dialog manager sends on its own.
constexpr int kFirstControlId = 1000;

// Labels, bevels and pictures are drawn beneath the controls that take the focus, the later one
// above the earlier, and never take part in keyboard navigation.
bool IsGraphic(ControlKind k) {
    return k == ControlKind::Label || k == ControlKind::Bevel || k == ControlKind::Image;
}

// Runs inside a catch block at a window procedure boundary: the error goes to the standard
// error display, and nothing (not even a failure of that display) goes further.
void ReportCurrentException() {
    try {
        Application::Instance().HandleCurrentException();
    } catch (...) {
    }
}

// Draws the top and left edges of `r` in one colour and the bottom and right edges in another.
void Outline(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight) {
    auto fill = [dc](int l, int t, int rr, int b, COLORREF c) {
        if (rr <= l || b <= t) return;
        const RECT line{l, t, rr, b};
        SetBkColor(dc, c);
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
    };
    fill(r.left, r.top, r.right, r.top + 1, topLeft);
    fill(r.left, r.top, r.left + 1, r.bottom, topLeft);
    fill(r.left, r.bottom - 1, r.right, r.bottom, bottomRight);
    fill(r.right - 1, r.top, r.right, r.bottom, bottomRight);
}

void FillSolid(HDC dc, const RECT& r, COLORREF c) {
    const COLORREF old = SetBkColor(dc, c);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

// ---- Dots per inch ---------------------------------------------------------------------------

// The dpi the window description is drawn for.
constexpr int kDesignDpi = 96;

// The dpi calls newer than Windows 7, looked up at run time; each is nullptr where the system
// has none, and the system dpi stands in.
struct DpiCalls {
    UINT(WINAPI* dpiForWindow)(HWND) = nullptr;                             // Windows 10 1607
    BOOL(WINAPI* adjustForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;  // Windows 10 1607
    HRESULT(WINAPI* dpiForMonitor)(HMONITOR, MONITOR_DPI_TYPE, UINT*, UINT*) = nullptr;  // 8.1
};

template <class F>
void BindCall(F& call, platform::ModuleHandle module, const char* name) {
    call = module ? reinterpret_cast<F>(platform::ModuleExport(module, name)) : nullptr;
}

const DpiCalls& Dpi() {
    static const DpiCalls calls = [] {
        DpiCalls c;
        platform::ModuleHandle user = GetModuleHandleW(L"user32.dll");
        BindCall(c.dpiForWindow, user, "GetDpiForWindow");
        BindCall(c.adjustForDpi, user, "AdjustWindowRectExForDpi");
        // Loaded for the rest of the process, from the system folder only.
        BindCall(c.dpiForMonitor, platform::OpenSystemModule("shcore.dll"), "GetDpiForMonitor");
        return c;
    }();
    return calls;
}

// The system dpi: that of the primary monitor at log-on, what Windows 7 and 8 scale to.
int SystemDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 0;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : kDesignDpi;
}

// The dpi of the monitor that holds the point (the nearest one when none does).
int MonitorDpi(POINT p) {
    UINT x = 0, y = 0;
    if (Dpi().dpiForMonitor &&
        SUCCEEDED(Dpi().dpiForMonitor(MonitorFromPoint(p, MONITOR_DEFAULTTONEAREST),
                                      MDT_EFFECTIVE_DPI, &x, &y)) &&
        x > 0)
        return static_cast<int>(x);
    return SystemDpi();
}

int WindowDpi(HWND hwnd) {
    if (Dpi().dpiForWindow)
        if (const UINT dpi = Dpi().dpiForWindow(hwnd)) return static_cast<int>(dpi);
    return SystemDpi();
}

// A length of the description at `dpi`, and a measured length back in the description's units
// (rounded up, so that what was measured still fits).
int Scale(int v, int dpi) {
    return MulDiv(v, dpi, kDesignDpi);
}
int Unscale(int v, int dpi) {
    return v >= 0 ? (v * kDesignDpi + dpi - 1) / dpi : -((-v * kDesignDpi + dpi - 1) / dpi);
}

// The window rectangle around a client rectangle at `dpi`.
void AdjustForDpi(RECT& r, DWORD style, DWORD exStyle, int dpi) {
    if (Dpi().adjustForDpi)
        Dpi().adjustForDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi));
    else
        AdjustWindowRectEx(&r, style, FALSE, exStyle);
}

Font ScaledFont(Font font, int dpi) {
    font.height = Scale(font.height, dpi);
    return font;
}

// A COM interface reference released when it goes out of scope.
template <class T>
class ComRef {
  public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p_) p_->Release();
    }
    T** Put() { return &p_; }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }

  private:
    T* p_ = nullptr;
};

// COM for the length of one operation; an apartment of another kind already set up on this
// thread serves as well and is left alone.
class ComScope {
  public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }

  private:
    HRESULT hr_;
};

// Decodes a picture (PNG, or any format the system's imaging component reads) into a top-down
// 32-bit DIB with premultiplied alpha, resized smoothly from the description's 96 dpi to `dpi`.
// Returns nullptr when the bytes cannot be decoded or the system has no imaging component; the
// control then shows its background only.
HBITMAP DecodePicture(const std::vector<uint8_t>& bytes, int dpi, SIZE& size) {
    size = SIZE{0, 0};
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return nullptr;
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Put()))))
        return nullptr;
    // The stream reads from our own copy: the call takes a writable buffer.
    std::vector<BYTE> copy(bytes.begin(), bytes.end());
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICFormatConverter> converter;
    ComRef<IWICBitmapScaler> scaler;
    if (FAILED(factory->CreateStream(stream.Put())) ||
        FAILED(stream->InitializeFromMemory(copy.data(), static_cast<DWORD>(copy.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                                WICDecodeMetadataCacheOnDemand, decoder.Put())) ||
        FAILED(decoder->GetFrame(0, frame.Put())) ||
        FAILED(factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return nullptr;
    UINT width = 0, height = 0;
    // A picture of a window is small; the limit keeps the buffer size within 32 bits.
    if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 || width > 8192 ||
        height > 8192)
        return nullptr;
    IWICBitmapSource* source = converter.Get();
    if (dpi != kDesignDpi) {
        // Fant's filter averages the pixels a shrunk or grown pixel covers: smooth edges at any
        // factor, and it is there since Windows XP's imaging component.
        const UINT w = static_cast<UINT>(Scale(static_cast<int>(width), dpi));
        const UINT h = static_cast<UINT>(Scale(static_cast<int>(height), dpi));
        if (w == 0 || h == 0 || w > 8192 || h > 8192 ||
            FAILED(factory->CreateBitmapScaler(scaler.Put())) ||
            FAILED(scaler->Initialize(converter.Get(), w, h, WICBitmapInterpolationModeFant)))
            return nullptr;
        source = scaler.Get();
        width = w;
        height = h;
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    const UINT stride = width * 4;
    if (FAILED(source->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) {
        DeleteObject(bitmap);
        return nullptr;
    }
    size = SIZE{static_cast<LONG>(width), static_cast<LONG>(height)};
    return bitmap;
}

class Win32Backend;
class FormPeer;

// What every peer has: the window, the control it mirrors, the common properties.
class WinPeer : public Peer {
  public:
    WinPeer(Win32Backend& backend, Control& control) : backend_(backend), control_(control) {}
    ~WinPeer() override;
    WinPeer(const WinPeer&) = delete;
    WinPeer& operator=(const WinPeer&) = delete;

    HWND Hwnd() const { return hwnd_; }
    void* NativeHandle() const override { return hwnd_; }
    Control& GetControl() const { return control_; }
    virtual bool IsForm() const { return false; }

    void Changed(Prop what) override;
    void SetFocus() override {
        if (hwnd_) ::SetFocus(hwnd_);
    }
    // The form's window has moved to a monitor of another dpi: font, place and size again.
    virtual void DpiChanged() {
        Changed(Prop::Font);
        Changed(Prop::Bounds);
    }
    // The dpi the control is drawn at: its form's.
    int CurrentDpi() const;

    // A notification (WM_COMMAND) the control sent its parent.
    virtual void Command(UINT code) { (void)code; }
    // The colours of the control for its WM_CTLCOLOR* message; nullptr lets the system choose.
    virtual HBRUSH ControlColor(HDC dc, UINT msg) {
        (void)dc, (void)msg;
        return nullptr;
    }
    // Messages of windows of our own classes.
    virtual LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) {
        return DefWindowProcW(hwnd_, msg, wp, lp);
    }

    // Called by the window procedure of our own classes when the window is created.
    void Attach(HWND hwnd) { hwnd_ = hwnd; }

    static LRESULT CALLBACK OwnClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  protected:
    // Creates the window of a child control inside its parent's window.
    void CreateChild(const wchar_t* windowClass, DWORD style, DWORD exStyle);
    // The window styles every child shares: visibility, enabled state, tab stop, group start.
    DWORD ChildStyle(bool focusable) const;
    HWND ParentHwnd() const;
    // A length of the description at the control's dpi.
    int S(int v) const { return Scale(v, CurrentDpi()); }
    // The peer of the form the control belongs to (nullptr while there is none).
    FormPeer* OwningForm() const;
    void ApplyFont();
    COLORREF Background() const { return Resolve(control_.GetColor()); }
    // Moves the focus to the next control when this window, about to be hidden or disabled,
    // holds it; otherwise keyboard input would go to a window the user cannot see or use.
    void GiveUpFocus();

    Win32Backend& backend_;
    Control& control_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
};

WinPeer* PeerOf(HWND hwnd) {
    return hwnd ? static_cast<WinPeer*>(GetPropW(hwnd, kPeerProp)) : nullptr;
}

class Win32Backend : public Backend {
  public:
    Win32Backend();
    ~Win32Backend() override;
    Win32Backend(const Win32Backend&) = delete;
    Win32Backend& operator=(const Win32Backend&) = delete;

    std::unique_ptr<Peer> CreatePeer(Control& control) override;
    void WaitForEvents() override;
    void ProcessMessages() override;
    void Wake() override;
    int ShowMessageBox(Form* owner, const std::u16string& text, const std::u16string& caption,
                       unsigned flags) override;
    void SetCursor(int cursor) override;
    void BeginModal(Form& form) override;
    void EndModal(Form& form) override;
    void MessageSound(unsigned icon) override;
    Font MessageFont() override;
    Size MeasureText(const Font& font, const std::u16string& text, int wrapWidth,
                     bool prefix) override;
    Size ScreenSize() override;
    Size FrameSize(const Form& form) override;
    int EditHeight(const Font& font) override;

    HINSTANCE Module() const { return module_; }
    // The cursor shown over the program's windows (kCr*).
    int Cursor() const { return cursor_; }
    // Fonts and brushes live as long as the backend: controls keep using them.
    HFONT FontFor(const Font& font);
    HBRUSH BrushFor(COLORREF color);
    // Whether the dialog manager is handling an arrow key (moving within a radio group).
    bool NavigatingWithArrows() const { return arrowKey_; }
    int NextControlId() {
        const int id = nextId_;
        nextId_ = nextId_ >= 0xFFFF ? kFirstControlId : nextId_ + 1;
        return id;
    }

  private:
    void RegisterOwnClass(const wchar_t* name, UINT style);
    void Dispatch(MSG& msg);
    void QuitReceived();

    HINSTANCE module_;
    DWORD thread_;
    int cursor_ = kCrDefault;
    // The windows each modal form in progress disabled, innermost last.
    std::vector<std::vector<HWND>> disabledByModal_;
    int nextId_ = kFirstControlId;
    bool arrowKey_ = false;
    std::vector<const wchar_t*> classes_;
    std::map<std::tuple<std::string, int, bool>, HFONT> fonts_;
    std::map<COLORREF, HBRUSH> brushes_;
};

// Form and panel: windows that hold controls and pass their notifications on.
class ContainerPeer : public WinPeer {
  public:
    using WinPeer::WinPeer;

    LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_COMMAND: {
                // Only a notification whose identifier is the sender's own: the dialog manager
                // also sends IDOK and IDCANCEL naming whichever control has the focus.
                HWND child = reinterpret_cast<HWND>(lp);
                WinPeer* peer = PeerOf(child);
                if (peer && peer != this && LOWORD(wp) == (GetDlgCtrlID(child) & 0xFFFF))
                    peer->Command(HIWORD(wp));
                return 0;
            }
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLOREDIT:
            case WM_CTLCOLORBTN: {
                WinPeer* peer = PeerOf(reinterpret_cast<HWND>(lp));
                if (peer && peer != this)
                    if (HBRUSH brush = peer->ControlColor(reinterpret_cast<HDC>(wp), msg))
                        return reinterpret_cast<LRESULT>(brush);
                break;
            }
            case WM_ERASEBKGND: {
                RECT r;
                GetClientRect(hwnd_, &r);
                FillSolid(reinterpret_cast<HDC>(wp), r, Background());
                return 1;
            }
            case WM_SETCURSOR:
                // The program's screen cursor, over the container and every control in it (a
                // control asks its parent first).
                if (backend_.Cursor() == kCrHourGlass && LOWORD(lp) == HTCLIENT) {
                    ::SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
                    return TRUE;
                }
                break;
            case WM_PRINTCLIENT: {
                // Themed controls ask their parent for the background beneath them this way.
                HDC dc = reinterpret_cast<HDC>(wp);
                RECT r;
                GetClientRect(hwnd_, &r);
                if (lp & (PRF_ERASEBKGND | PRF_CLIENT)) FillSolid(dc, r, Background());
                if (lp & PRF_CLIENT) PaintContent(dc);
                return 0;
            }
            case WM_PAINT: {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(hwnd_, &ps);
                PaintContent(dc);
                EndPaint(hwnd_, &ps);
                return 0;
            }
            default:
                break;
        }
        return WinPeer::Message(msg, wp, lp);
    }

    void Changed(Prop what) override {
        WinPeer::Changed(what);
        // Labels and radio buttons fill their background in the parent's colour.
        if (what == Prop::Color)
            RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }

  protected:
    // What the container draws over its background.
    virtual void PaintContent(HDC dc) { (void)dc; }
};

class FormPeer : public ContainerPeer {
  public:
    FormPeer(Win32Backend& backend, Form& form);
    bool IsForm() const override { return true; }
    void Changed(Prop what) override;
    LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override;

    // A control of the form has received the keyboard focus: the control that had it before is
    // left (its exit event runs), and the default push button follows the focus.
    void FocusEntered(WinPeer& peer);
    // Gives the focus to the next control in tab order after `from` (or to the form).
    void FocusNext(HWND from);
    int FormDpi() const { return dpi_; }

  private:
    DWORD Style() const;
    DWORD ExStyle() const;
    void RestoreFocus();
    // Every control below `parent` at the form's new dpi.
    void RescaleChildren(Control& parent);
    // The push button that Enter presses: the focused one, else the form's default button.
    void UpdateDefaultButton(WinPeer* focused);
    void ForEachButton(Control& parent, void (*visit)(WinPeer&, void*), void* data);
    Button* ModelDefaultButton(Control& parent) const;

    Form& form_;
    HWND focused_ = nullptr;
    HWND defaultButton_ = nullptr;
    bool shown_ = false;
    bool focusedOnce_ = false;
    int dpi_ = kDesignDpi;
};

// ---- WinPeer ---------------------------------------------------------------------------------

WinPeer::~WinPeer() {
    HWND hwnd = hwnd_;
    hwnd_ = nullptr;
    // Only a window that is still ours: a parent's destruction may have taken it already.
    if (hwnd && GetPropW(hwnd, kPeerProp) == this) {
        // The window's last messages (losing the focus, being destroyed) reach no peer.
        RemovePropW(hwnd, kPeerProp);
        DestroyWindow(hwnd);
    }
}

LRESULT CALLBACK WinPeer::OwnClassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* peer = static_cast<WinPeer*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        if (peer) {
            SetPropW(hwnd, kPeerProp, peer);
            peer->Attach(hwnd);
        }
    } else if (msg == WM_NCDESTROY) {
        RemovePropW(hwnd, kPeerProp);
    }
    WinPeer* peer = PeerOf(hwnd);
    if (!peer) return DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return peer->Message(msg, wp, lp);
    } catch (...) {
        ReportCurrentException();
        return 0;
    }
}

HWND WinPeer::ParentHwnd() const {
    Control* parent = control_.Parent();
    auto* peer = parent ? dynamic_cast<WinPeer*>(parent->GetPeer()) : nullptr;
    if (!peer || !peer->Hwnd())
        throw Exception("Control " + control_.Name() + " has no parent window");
    return peer->Hwnd();
}

FormPeer* WinPeer::OwningForm() const {
    Control* c = &control_;
    while (c && c->Kind() != ControlKind::Form) c = c->Parent();
    return c ? dynamic_cast<FormPeer*>(c->GetPeer()) : nullptr;
}

DWORD WinPeer::ChildStyle(bool focusable) const {
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    if (control_.Visible()) style |= WS_VISIBLE;
    if (!control_.Enabled()) style |= WS_DISABLED;
    if (focusable && control_.TabStop()) style |= WS_TABSTOP;
    // A group of radio buttons runs from the first of consecutive radio buttons to the next
    // control that is not one; every other control stands alone, so the arrow keys never
    // wander from a radio button onto a label.
    bool groupStart = true;
    if (control_.Kind() == ControlKind::RadioButton && control_.Parent()) {
        const std::vector<Control*> order = control_.Parent()->ChildrenInTabOrder();
        for (size_t i = 1; i < order.size(); ++i)
            if (order[i] == &control_)
                groupStart = order[i - 1]->Kind() != ControlKind::RadioButton;
    }
    if (groupStart) style |= WS_GROUP;
    return style;
}

void WinPeer::CreateChild(const wchar_t* windowClass, DWORD style, DWORD exStyle) {
    HWND parent = ParentHwnd();
    const int id = backend_.NextControlId();
    // Windows of our own classes find their peer in the creation data.
    const bool ownClass =
        windowClass == kPanelClass || windowClass == kBevelClass || windowClass == kImageClass;
    HWND hwnd =
        CreateWindowExW(exStyle, windowClass, W(control_.Caption()), style, S(control_.Left()),
                        S(control_.Top()), S(control_.Width()), S(control_.Height()), parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), backend_.Module(),
                        ownClass ? this : nullptr);
    if (!hwnd) throw Exception("Cannot create the window of " + control_.Name());
    hwnd_ = hwnd;
    SetPropW(hwnd, kPeerProp, this);
    // Just beneath the last windowed sibling: windowed controls keep their creation order (the
    // tab order) above every graphic one, and a graphic control lies above the graphic ones
    // created before it.
    HWND after = HWND_TOP;
    for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        WinPeer* sibling = PeerOf(h);
        if (h != hwnd && sibling && !IsGraphic(sibling->GetControl().Kind())) after = h;
    }
    SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ApplyFont();
}

int WinPeer::CurrentDpi() const {
    const FormPeer* form = OwningForm();
    return form ? form->FormDpi() : SystemDpi();
}

void WinPeer::ApplyFont() {
    font_ = backend_.FontFor(ScaledFont(control_.GetFont(), CurrentDpi()));
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
}

void WinPeer::GiveUpFocus() {
    HWND focus = GetFocus();
    if (!focus || (focus != hwnd_ && !IsChild(hwnd_, focus))) return;
    if (FormPeer* form = OwningForm()) form->FocusNext(hwnd_);
}

void WinPeer::Changed(Prop what) {
    if (!hwnd_) return;
    switch (what) {
        case Prop::Caption:
            SetWindowTextW(hwnd_, W(control_.Caption()));
            break;
        case Prop::Bounds:
            SetWindowPos(hwnd_, nullptr, S(control_.Left()), S(control_.Top()), S(control_.Width()),
                         S(control_.Height()), SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        case Prop::Visible:
            if (!control_.Visible()) GiveUpFocus();
            ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE);
            break;
        case Prop::Enabled:
            if (!control_.Enabled()) GiveUpFocus();
            EnableWindow(hwnd_, control_.Enabled() ? TRUE : FALSE);
            break;
        case Prop::Font:
            ApplyFont();
            InvalidateRect(hwnd_, nullptr, TRUE);
            break;
        case Prop::Color:
            InvalidateRect(hwnd_, nullptr, TRUE);
            break;
        case Prop::Checked:
        case Prop::Position:
        case Prop::Picture:
            break;
    }
}

// ---- FormPeer --------------------------------------------------------------------------------

// Where the model puts a form on the screen, in pixels: its place is in 96-dpi units of the
// screen at the system dpi, as ScreenSize reports it.
int ScreenX(const Form& form) {
    return Scale(form.Left(), SystemDpi());
}
int ScreenY(const Form& form) {
    return Scale(form.Top(), SystemDpi());
}

// The window styles of a form: its border style and title-bar buttons.
DWORD FormStyle(const Form& form) {
    DWORD style = WS_CLIPCHILDREN;
    bool caption = true;
    switch (form.GetBorderStyle()) {
        case BorderStyle::None:
            style |= WS_POPUP;
            caption = false;
            break;
        case BorderStyle::Single:
            style |= WS_OVERLAPPED | WS_CAPTION;
            break;
        case BorderStyle::Sizeable:
            style |= WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;
            break;
        case BorderStyle::Dialog:
            style |= WS_POPUP | WS_CAPTION;
            break;
    }
    // The title-bar buttons hang on the system menu: without it there are none at all.
    if (caption && form.HasSystemMenu()) {
        style |= WS_SYSMENU;
        if (form.GetBorderStyle() != BorderStyle::Dialog) {
            if (form.HasMinimizeBox()) style |= WS_MINIMIZEBOX;
            if (form.HasMaximizeBox()) style |= WS_MAXIMIZEBOX;
        }
    }
    return style;
}

DWORD FormExStyle(const Form& form) {
    DWORD exStyle = WS_EX_CONTROLPARENT;
    if (form.GetBorderStyle() == BorderStyle::Dialog) exStyle |= WS_EX_DLGMODALFRAME;
    return exStyle;
}

FormPeer::FormPeer(Win32Backend& backend, Form& form) : ContainerPeer(backend, form), form_(form) {
    const DWORD style = Style(), exStyle = ExStyle();
    // A centred form goes on the primary monitor, a designed one where the model puts it (in
    // the units of ScreenSize: the screen at the system dpi); the dpi is that monitor's.
    const bool centred = form.Position() == FormPosition::ScreenCenter;
    int x = ScreenX(form), y = ScreenY(form);
    dpi_ = centred ? MonitorDpi(POINT{0, 0}) : MonitorDpi(POINT{x, y});
    RECT r{0, 0, Scale(form.ClientWidth(), dpi_), Scale(form.ClientHeight(), dpi_)};
    AdjustForDpi(r, style, exStyle, dpi_);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (centred) {
        x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        // A window larger than the screen keeps its title bar on the screen.
        if (x < 0) x = 0;
        if (y < 0) y = 0;
    }
    // The window procedure attaches the window to this peer as it is created.
    if (!CreateWindowExW(exStyle, kFormClass, W(form.Caption()), style, x, y, width, height,
                         nullptr, nullptr, backend.Module(), this))
        throw Exception("Cannot create the window of form " + form.ClassName());
    // Windows may have put it on a monitor of another dpi than the one assumed.
    const int actual = WindowDpi(hwnd_);
    if (actual != dpi_) {
        dpi_ = actual;
        Changed(Prop::Bounds);
    }
}

DWORD FormPeer::Style() const {
    return FormStyle(form_);
}

DWORD FormPeer::ExStyle() const {
    return FormExStyle(form_);
}

void FormPeer::Changed(Prop what) {
    if (!hwnd_) return;
    switch (what) {
        case Prop::Visible:
            if (form_.Visible()) {
                ShowWindow(hwnd_, shown_ ? SW_SHOW : SW_SHOWNORMAL);
                if (!shown_) UpdateWindow(hwnd_);
                shown_ = true;
            } else {
                ShowWindow(hwnd_, SW_HIDE);
            }
            return;
        case Prop::Bounds: {
            // The model's width and height are those of the client area. A centred form keeps
            // the place it has; a designed one goes where the model puts it.
            RECT r{0, 0, Scale(form_.ClientWidth(), dpi_), Scale(form_.ClientHeight(), dpi_)};
            AdjustForDpi(r, Style(), ExStyle(), dpi_);
            UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
            if (form_.Position() == FormPosition::ScreenCenter) flags |= SWP_NOMOVE;
            SetWindowPos(hwnd_, nullptr, ScreenX(form_), ScreenY(form_), r.right - r.left,
                         r.bottom - r.top, flags);
            return;
        }
        case Prop::Enabled:
            EnableWindow(hwnd_, form_.Enabled() ? TRUE : FALSE);
            return;
        case Prop::Font:
            return;  // the title bar keeps the system's font
        default:
            ContainerPeer::Changed(what);
            return;
    }
}

LRESULT FormPeer::Message(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CLOSE:
            // The model decides: its close handler may keep, hide or free the form.
            form_.Close();
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wp) != WA_INACTIVE && !HIWORD(wp)) {
                RestoreFocus();
                return 0;
            }
            break;
        case WM_SETFOCUS:
            // The form itself never keeps the focus while it has a control that can take it.
            RestoreFocus();
            return 0;
        case DM_GETDEFID:
            // Enter presses this button (IsDialogMessage asks); none while it cannot be used.
            if (!defaultButton_ || !IsWindow(defaultButton_))
                UpdateDefaultButton(PeerOf(GetFocus()));
            if (defaultButton_ && IsWindowVisible(defaultButton_) &&
                IsWindowEnabled(defaultButton_))
                return MAKELRESULT(GetDlgCtrlID(defaultButton_), DC_HASDEFID);
            return 0;
        case WM_COMMAND:
            // Escape: the dialog manager sends IDCANCEL, naming no control of ours (their
            // identifiers start above it). The form's cancel button answers it.
            if (LOWORD(wp) == IDCANCEL && !PeerOf(reinterpret_cast<HWND>(lp))) {
                Button* cancel = form_.CancelButton();
                auto* peer = cancel ? dynamic_cast<WinPeer*>(cancel->GetPeer()) : nullptr;
                if (peer && peer->Hwnd() && IsWindowVisible(peer->Hwnd()) &&
                    IsWindowEnabled(peer->Hwnd()))
                    cancel->UserClicked();
                return 0;
            }
            break;
        case WM_DPICHANGED: {
            // The window has moved to a monitor of another dpi: every control follows, and the
            // window takes the place and size Windows proposes, which keeps it under the mouse.
            const int dpi = LOWORD(wp);
            if (dpi <= 0 || dpi == dpi_) return 0;
            dpi_ = dpi;
            RescaleChildren(form_);
            const RECT* proposed = reinterpret_cast<const RECT*>(lp);
            SetWindowPos(hwnd_, nullptr, proposed->left, proposed->top,
                         proposed->right - proposed->left, proposed->bottom - proposed->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            InvalidateRect(hwnd_, nullptr, TRUE);
            return 0;
        }
        case WM_NEXTDLGCTL: {
            HWND target = LOWORD(lp) ? reinterpret_cast<HWND>(wp)
                                     : GetNextDlgTabItem(hwnd_, GetFocus(), wp ? TRUE : FALSE);
            if (target && IsChild(hwnd_, target)) ::SetFocus(target);
            return 0;
        }
        default:
            break;
    }
    return ContainerPeer::Message(msg, wp, lp);
}

void FormPeer::RescaleChildren(Control& parent) {
    for (Control* c : parent.Children()) {
        if (auto* peer = dynamic_cast<WinPeer*>(c->GetPeer()))
            if (peer->Hwnd()) peer->DpiChanged();
        RescaleChildren(*c);
    }
}

void FormPeer::RestoreFocus() {
    // While the form's controls are being destroyed the focus is left where Windows puts it.
    if (form_.Destroyed()) return;
    HWND target = nullptr;
    if (focused_ && IsWindow(focused_) && IsChild(hwnd_, focused_) && IsWindowVisible(focused_) &&
        IsWindowEnabled(focused_))
        target = focused_;
    // The first time, the form's active control, if it can take the focus.
    if (!target && !focusedOnce_)
        if (Control* active = form_.ActiveControl())
            if (auto* peer = dynamic_cast<WinPeer*>(active->GetPeer()))
                if (peer->Hwnd() && IsWindowVisible(peer->Hwnd()) && IsWindowEnabled(peer->Hwnd()))
                    target = peer->Hwnd();
    if (!target) target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
    if (!target || !IsChild(hwnd_, target)) return;
    if (!focusedOnce_) {
        // The first control the form focuses shows its whole text selected, as the keyboard
        // navigation does.
        focusedOnce_ = true;
        WinPeer* peer = PeerOf(target);
        if (peer && peer->GetControl().Kind() == ControlKind::Edit)
            SendMessageW(target, EM_SETSEL, 0, -1);
    }
    ::SetFocus(target);
}

void FormPeer::FocusNext(HWND from) {
    HWND next = GetNextDlgTabItem(hwnd_, from, FALSE);
    ::SetFocus(next && next != from ? next : hwnd_);
}

void FormPeer::FocusEntered(WinPeer& peer) {
    if (form_.Destroyed()) return;
    HWND previous = focused_;
    focused_ = peer.Hwnd();
    UpdateDefaultButton(&peer);
    if (previous == focused_) return;
    // The exit event runs last: its handler may change anything, this form included.
    if (WinPeer* left = PeerOf(previous)) left->GetControl().UserLeft();
}

Button* FormPeer::ModelDefaultButton(Control& parent) const {
    for (Control* c : parent.Children()) {
        if (auto* button = dynamic_cast<Button*>(c))
            if (button->IsDefault()) return button;
        if (Button* inner = ModelDefaultButton(*c)) return inner;
    }
    return nullptr;
}

void FormPeer::ForEachButton(Control& parent, void (*visit)(WinPeer&, void*), void* data) {
    for (Control* c : parent.Children()) {
        if (c->Kind() == ControlKind::Button)
            if (auto* peer = dynamic_cast<WinPeer*>(c->GetPeer()))
                if (peer->Hwnd()) visit(*peer, data);
        ForEachButton(*c, visit, data);
    }
}

void FormPeer::UpdateDefaultButton(WinPeer* focused) {
    HWND target = nullptr;
    if (focused && focused->GetControl().Kind() == ControlKind::Button) {
        target = focused->Hwnd();
    } else if (Button* button = ModelDefaultButton(form_)) {
        if (auto* peer = dynamic_cast<WinPeer*>(button->GetPeer())) target = peer->Hwnd();
    }
    defaultButton_ = target;
    ForEachButton(
        form_,
        [](WinPeer& peer, void* data) {
            HWND hwnd = peer.Hwnd();
            const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
            const DWORD type = hwnd == *static_cast<HWND*>(data) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            if ((style & BS_TYPEMASK) != type)
                SendMessageW(hwnd, BM_SETSTYLE, (style & 0xFFFF & ~BS_TYPEMASK) | type, TRUE);
        },
        &target);
}

// ---- Panel -----------------------------------------------------------------------------------

class PanelPeer : public ContainerPeer {
  public:
    PanelPeer(Win32Backend& backend, Panel& panel) : ContainerPeer(backend, panel), panel_(panel) {
        CreateChild(kPanelClass, ChildStyle(false) | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
    }
    void Changed(Prop what) override {
        ContainerPeer::Changed(what);
        if (what == Prop::Caption) InvalidateRect(hwnd_, nullptr, TRUE);
    }

  protected:
    void PaintContent(HDC dc) override {
        RECT r;
        GetClientRect(hwnd_, &r);
        if (panel_.Beveled())
            Outline(dc, r, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
        if (panel_.Caption().empty()) return;
        HGDIOBJ old = SelectObject(dc, font_);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(
            dc, panel_.Enabled() ? Resolve(panel_.GetFont().color) : GetSysColor(COLOR_GRAYTEXT));
        DrawTextW(dc, W(panel_.Caption()), static_cast<int>(panel_.Caption().size()), &r,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, old);
    }

  private:
    Panel& panel_;
};

// ---- Label -----------------------------------------------------------------------------------

class LabelPeer : public WinPeer {
  public:
    LabelPeer(Win32Backend& backend, Label& label) : WinPeer(backend, label), label_(label) {
        // Without word wrap a label shows its text on the lines it has, as wide as they are.
        // With it, the text breaks at the label's width and tabs expand (DT_WORDBREAK |
        // DT_EXPANDTABS), as MeasureText measures it.
        CreateChild(WC_STATICW,
                    ChildStyle(false) | (label.WordWrap() ? SS_LEFT : SS_LEFTNOWORDWRAP) |
                        SS_NOPREFIX | SS_NOTIFY,
                    0);
        FitToText();
    }

    void Changed(Prop what) override {
        WinPeer::Changed(what);
        if (what == Prop::Caption || what == Prop::Font || what == Prop::Bounds) FitToText();
    }

    void Command(UINT code) override {
        if (code == STN_CLICKED) label_.UserClicked();
    }

    HBRUSH ControlColor(HDC dc, UINT) override {
        // A disabled label shows greyed text whatever its own colour.
        SetTextColor(
            dc, label_.Enabled() ? Resolve(label_.GetFont().color) : GetSysColor(COLOR_GRAYTEXT));
        SetBkMode(dc, TRANSPARENT);
        // A transparent label shows its parent's background, an opaque one its own colour
        // (which is the parent's unless the description gives it one).
        Color back = label_.GetColor();
        if (label_.Transparent() && label_.Parent()) back = label_.Parent()->GetColor();
        return backend_.BrushFor(Resolve(back));
    }

  private:
    void FitToText() {
        if (!label_.AutoSize() || !hwnd_) return;
        // An empty label keeps the height of one line.
        const std::u16string text = label_.Caption().empty() ? u" " : label_.Caption();
        HDC dc = GetDC(hwnd_);
        if (!dc) return;
        HGDIOBJ old = SelectObject(dc, font_);
        RECT r{0, 0, 0, 0};
        DrawTextW(dc, W(text), static_cast<int>(text.size()), &r,
                  DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
        // The model keeps the size in the description's units; the window gets what was measured.
        const int dpi = CurrentDpi();
        label_.MeasuredSize(Unscale(r.right - r.left, dpi), Unscale(r.bottom - r.top, dpi));
        SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    Label& label_;
};

// ---- Edit ------------------------------------------------------------------------------------

class EditPeer : public WinPeer {
  public:
    EditPeer(Win32Backend& backend, Edit& edit) : WinPeer(backend, edit), edit_(edit) {
        const bool masked = edit.PasswordChar() != 0;
        CreateChild(WC_EDITW,
                    ChildStyle(true) | ES_LEFT | ES_AUTOHSCROLL | (masked ? ES_PASSWORD : 0),
                    WS_EX_CLIENTEDGE);
        // The themed field would show dots; the model names the character.
        if (masked) SendMessageW(hwnd_, EM_SETPASSWORDCHAR, edit.PasswordChar(), 0);
        if (edit.MaxLength() > 0)
            SendMessageW(hwnd_, EM_SETLIMITTEXT, static_cast<WPARAM>(edit.MaxLength()), 0);
    }

    void Changed(Prop what) override {
        if (what == Prop::Caption) {
            // The model's own change is no user edit; an unchanged text keeps the caret.
            if (WindowText(hwnd_) == edit_.Text()) return;
            settingText_ = true;
            SetWindowTextW(hwnd_, W(edit_.Text()));
            settingText_ = false;
            return;
        }
        WinPeer::Changed(what);
    }

    void Command(UINT code) override {
        if (code == EN_CHANGE && !settingText_) {
            edit_.UserEditedText(WindowText(hwnd_));
        } else if (code == EN_SETFOCUS) {
            if (FormPeer* form = OwningForm()) form->FocusEntered(*this);
        }
    }

    HBRUSH ControlColor(HDC dc, UINT msg) override {
        // A disabled field (WM_CTLCOLORSTATIC) keeps the system's greyed look.
        if (msg != WM_CTLCOLOREDIT) return nullptr;
        SetTextColor(dc, Resolve(edit_.GetFont().color));
        SetBkColor(dc, Background());
        return backend_.BrushFor(Background());
    }

  private:
    Edit& edit_;
    bool settingText_ = false;
};

// ---- Button ----------------------------------------------------------------------------------

class ButtonPeer : public WinPeer {
  public:
    ButtonPeer(Win32Backend& backend, Button& button) : WinPeer(backend, button), button_(button) {
        // BS_NOTIFY reports the focus, which the form needs for exit events and the default
        // button; it also turns a double click into one click and a notice we ignore.
        CreateChild(
            WC_BUTTONW,
            ChildStyle(true) | BS_NOTIFY | (button.IsDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
            0);
    }

    void Command(UINT code) override {
        if (code == BN_CLICKED) {
            button_.UserClicked();
        } else if (code == BN_SETFOCUS) {
            if (FormPeer* form = OwningForm()) form->FocusEntered(*this);
        }
    }

  private:
    Button& button_;
};

// ---- RadioButton -----------------------------------------------------------------------------

class RadioPeer : public WinPeer {
  public:
    RadioPeer(Win32Backend& backend, RadioButton& radio) : WinPeer(backend, radio), radio_(radio) {
        // Not an automatic radio button: the model checks it and unchecks its siblings.
        CreateChild(WC_BUTTONW, ChildStyle(true) | BS_RADIOBUTTON | BS_NOTIFY, 0);
        MirrorChecked();
    }

    void Changed(Prop what) override {
        if (what == Prop::Checked)
            MirrorChecked();
        else
            WinPeer::Changed(what);
    }

    void Command(UINT code) override {
        if (code == BN_CLICKED) {
            radio_.UserClicked();
        } else if (code == BN_SETFOCUS) {
            FormPeer* form = OwningForm();
            if (form) form->FocusEntered(*this);
            // Reached with the arrow keys within its group, a radio button is also chosen. A
            // mouse click (or BM_CLICK) chooses it with its own BN_CLICKED.
            if (hwnd_ && !radio_.Checked() && backend_.NavigatingWithArrows()) radio_.UserClicked();
        }
    }

    HBRUSH ControlColor(HDC dc, UINT) override {
        SetTextColor(dc, Resolve(radio_.GetFont().color));
        SetBkMode(dc, TRANSPARENT);
        return backend_.BrushFor(Background());
    }

  private:
    void MirrorChecked() {
        SendMessageW(hwnd_, BM_SETCHECK, radio_.Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    RadioButton& radio_;
};

// ---- ProgressBar -----------------------------------------------------------------------------

class ProgressPeer : public WinPeer {
  public:
    ProgressPeer(Win32Backend& backend, ProgressBar& bar) : WinPeer(backend, bar), bar_(bar) {
        CreateChild(PROGRESS_CLASSW, ChildStyle(false), 0);
        SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(bar.Min()),
                     static_cast<LPARAM>(bar.Max()));
        SendMessageW(hwnd_, PBM_SETSTEP, static_cast<WPARAM>(bar.Step()), 0);
        SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(bar.Position()), 0);
    }

    void Changed(Prop what) override {
        if (what == Prop::Position)
            SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(bar_.Position()), 0);
        else
            WinPeer::Changed(what);
    }

  private:
    ProgressBar& bar_;
};

// ---- Painted controls: bevel and image -------------------------------------------------------

// A window of our own class that paints everything itself on its parent-coloured background.
class PaintedPeer : public WinPeer {
  public:
    using WinPeer::WinPeer;

    LRESULT Message(UINT msg, WPARAM wp, LPARAM lp) override {
        switch (msg) {
            case WM_ERASEBKGND:
                return 1;  // WM_PAINT covers every pixel
            case WM_PAINT: {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(hwnd_, &ps);
                Paint(dc);
                EndPaint(hwnd_, &ps);
                return 0;
            }
            case WM_PRINTCLIENT:
                Paint(reinterpret_cast<HDC>(wp));
                return 0;
            case WM_NCHITTEST:
                // Clicks go through to the parent, as on a picture painted on it.
                return HTTRANSPARENT;
            default:
                return WinPeer::Message(msg, wp, lp);
        }
    }

  protected:
    virtual void Paint(HDC dc) = 0;
};

class BevelPeer : public PaintedPeer {
  public:
    BevelPeer(Win32Backend& backend, Bevel& bevel) : PaintedPeer(backend, bevel), bevel_(bevel) {
        CreateChild(kBevelClass, ChildStyle(false), 0);
    }

  protected:
    void Paint(HDC dc) override {
        RECT r;
        GetClientRect(hwnd_, &r);
        FillSolid(dc, r, Background());
        const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
        const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
        // Lowered: the shadow comes first (top, left), then the light; raised the other way.
        const COLORREF first = bevel_.Lowered() ? shadow : light;
        const COLORREF second = bevel_.Lowered() ? light : shadow;
        const LONG w = r.right, h = r.bottom;
        switch (bevel_.GetShape()) {
            case Bevel::Shape::Box:
                Outline(dc, r, first, second);
                break;
            case Bevel::Shape::Frame:
                Outline(dc, RECT{1, 1, w, h}, second, second);
                Outline(dc, RECT{0, 0, w - 1, h - 1}, first, first);
                break;
            case Bevel::Shape::TopLine:
                FillSolid(dc, RECT{0, 0, w, 1}, first);
                FillSolid(dc, RECT{0, 1, w, 2}, second);
                break;
            case Bevel::Shape::BottomLine:
                FillSolid(dc, RECT{0, h - 2, w, h - 1}, first);
                FillSolid(dc, RECT{0, h - 1, w, h}, second);
                break;
            case Bevel::Shape::LeftLine:
                FillSolid(dc, RECT{0, 0, 1, h}, first);
                FillSolid(dc, RECT{1, 0, 2, h}, second);
                break;
            case Bevel::Shape::RightLine:
                FillSolid(dc, RECT{w - 2, 0, w - 1, h}, first);
                FillSolid(dc, RECT{w - 1, 0, w, h}, second);
                break;
        }
    }

  private:
    Bevel& bevel_;
};

class ImagePeer : public PaintedPeer {
  public:
    ImagePeer(Win32Backend& backend, Image& image) : PaintedPeer(backend, image), image_(image) {
        CreateChild(kImageClass, ChildStyle(false), 0);
        Decode();
    }
    ~ImagePeer() override {
        if (bitmap_) DeleteObject(bitmap_);
        if (icon_) DestroyIcon(icon_);
    }

    void Changed(Prop what) override {
        if (what == Prop::Picture) {
            Decode();
            InvalidateRect(hwnd_, nullptr, TRUE);
            return;
        }
        PaintedPeer::Changed(what);
    }

    void DpiChanged() override {
        PaintedPeer::DpiChanged();
        Changed(Prop::Picture);
        if (icon_) DestroyIcon(icon_);
        icon_ = nullptr;
    }

  protected:
    void Paint(HDC dc) override {
        RECT r;
        GetClientRect(hwnd_, &r);
        FillSolid(dc, r, Background());
        if (HICON icon = SystemIcon()) {
            DrawIconEx(dc, 0, 0, icon, S(32), S(32), 0, nullptr, DI_NORMAL);
            return;
        }
        if (!bitmap_) return;
        // The picture at its natural size from the top-left corner; the window clips it.
        HDC memory = CreateCompatibleDC(dc);
        if (!memory) return;
        HGDIOBJ old = SelectObject(memory, bitmap_);
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        GdiAlphaBlend(dc, 0, 0, size_.cx, size_.cy, memory, 0, 0, size_.cx, size_.cy, blend);
        SelectObject(memory, old);
        DeleteDC(memory);
    }

  private:
      // The system's icon the model names at the control's dpi (nullptr for none), drawn from
      // the largest picture it has rather than stretched.
      HICON SystemIcon() {
          LPCWSTR id = nullptr;
          switch (image_.SystemIcon()) {
              case kMbIconError:
                  id = reinterpret_cast<LPCWSTR>(IDI_HAND);
                  break;
              case kMbIconQuestion:
                  id = reinterpret_cast<LPCWSTR>(IDI_QUESTION);
                  break;
              case kMbIconWarning:
                  id = reinterpret_cast<LPCWSTR>(IDI_EXCLAMATION);
                  break;
              case kMbIconInformation:
                  id = reinterpret_cast<LPCWSTR>(IDI_ASTERISK);
                  break;
              default:
                  return nullptr;
          }
          if (!icon_) {
              // Version 6 of the common controls has the call; where an older one answers, the
              // shared icon is stretched when drawn.
              using LoadScaledFn = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, int, HICON*);
              const auto loadScaled = reinterpret_cast<LoadScaledFn>(platform::ModuleExport(
                  GetModuleHandleW(L"comctl32.dll"), "LoadIconWithScaleDown"));
              if (!loadScaled || FAILED(loadScaled(nullptr, id, S(32), S(32), &icon_))) {
                  icon_ = nullptr;
                  return LoadIconW(nullptr, id);
              }
          }
          return icon_;
      }

    void Decode() {
        if (bitmap_) DeleteObject(bitmap_);
        bitmap_ = DecodePicture(image_.PictureData(), CurrentDpi(), size_);
    }

    Image& image_;
    HBITMAP bitmap_ = nullptr;
    HICON icon_ = nullptr;
    SIZE size_{0, 0};
};

// ---- Win32Backend ----------------------------------------------------------------------------

Win32Backend::Win32Backend() : module_(GetModuleHandleW(nullptr)), thread_(GetCurrentThreadId()) {
    // The common controls are loaded here, for a window, and not with the program: a run
    // without one does not pay for them. By name, so the manifest's version 6 answers, and
    // from the system folder only; by its path there where the system cannot restrict the
    // search that way.
    HMODULE controls = LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!controls) controls = static_cast<HMODULE>(platform::OpenSystemModule("comctl32.dll"));
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init =
        reinterpret_cast<InitFn>(platform::ModuleExport(controls, "InitCommonControlsEx"));
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    if (init) init(&icc);
    RegisterOwnClass(kFormClass, 0);
    RegisterOwnClass(kPanelClass, CS_HREDRAW | CS_VREDRAW);
    RegisterOwnClass(kBevelClass, CS_HREDRAW | CS_VREDRAW);
    RegisterOwnClass(kImageClass, 0);
}

Win32Backend::~Win32Backend() {
    for (const wchar_t* name : classes_) UnregisterClassW(name, module_);
    for (auto& font : fonts_) DeleteObject(font.second);
    for (auto& brush : brushes_) DeleteObject(brush.second);
}

void Win32Backend::RegisterOwnClass(const wchar_t* name, UINT style) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = &WinPeer::OwnClassProc;
    wc.hInstance = module_;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = name;
    if (RegisterClassExW(&wc)) {
        classes_.push_back(name);
    } else if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        throw Exception("Cannot register the window class " +
                        platform::Utf16ToAnsi(reinterpret_cast<const char16_t*>(name)));
    }
}

HFONT Win32Backend::FontFor(const Font& font) {
    const auto key = std::make_tuple(font.name, font.height, font.bold);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    const std::u16string face = platform::Utf8ToUtf16(font.name);
    HFONT handle = CreateFontW(font.height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                               FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, W(face));
    if (!handle) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fonts_.emplace(key, handle);
    return handle;
}

HBRUSH Win32Backend::BrushFor(COLORREF color) {
    auto it = brushes_.find(color);
    if (it != brushes_.end()) return it->second;
    HBRUSH brush = CreateSolidBrush(color);
    if (!brush) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    brushes_.emplace(color, brush);
    return brush;
}

std::unique_ptr<Peer> Win32Backend::CreatePeer(Control& control) {
    switch (control.Kind()) {
        case ControlKind::Form:
            return std::make_unique<FormPeer>(*this, static_cast<Form&>(control));
        case ControlKind::Label:
            return std::make_unique<LabelPeer>(*this, static_cast<Label&>(control));
        case ControlKind::Edit:
            return std::make_unique<EditPeer>(*this, static_cast<Edit&>(control));
        case ControlKind::Button:
            return std::make_unique<ButtonPeer>(*this, static_cast<Button&>(control));
        case ControlKind::RadioButton:
            return std::make_unique<RadioPeer>(*this, static_cast<RadioButton&>(control));
        case ControlKind::ProgressBar:
            return std::make_unique<ProgressPeer>(*this, static_cast<ProgressBar&>(control));
        case ControlKind::Bevel:
            return std::make_unique<BevelPeer>(*this, static_cast<Bevel&>(control));
        case ControlKind::Panel:
            return std::make_unique<PanelPeer>(*this, static_cast<Panel&>(control));
        case ControlKind::Image:
            return std::make_unique<ImagePeer>(*this, static_cast<Image&>(control));
    }
    throw Exception("Control " + control.Name() + " is of an unknown kind");
}

void Win32Backend::Dispatch(MSG& msg) {
    // Tab, the arrow keys and Enter work as in a dialog box in every form of ours.
    if (msg.hwnd) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        WinPeer* peer = PeerOf(root);
        if (peer && peer->IsForm()) {
            const bool arrow =
                msg.message == WM_KEYDOWN && msg.wParam >= VK_LEFT && msg.wParam <= VK_DOWN;
            const bool outer = arrowKey_;
            arrowKey_ = arrow;
            const BOOL handled = IsDialogMessageW(root, &msg);
            arrowKey_ = outer;
            if (handled) return;
        }
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void Win32Backend::QuitReceived() {
    // Someone asked the thread to quit: the program ends as if it had been terminated.
    Application& app = Application::Instance();
    if (!app.Terminated()) app.Terminate();
}

void Win32Backend::WaitForEvents() {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
        QuitReceived();
        return;
    }
    if (got > 0) Dispatch(msg);
}

void Win32Backend::ProcessMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            QuitReceived();
            return;
        }
        Dispatch(msg);
    }
}

void Win32Backend::Wake() {
    // A message that does nothing but end the wait. Not WM_QUIT: a quit request left pending
    // would close at once any message box shown after the loop has ended.
    PostThreadMessageW(thread_, WM_NULL, 0, 0);
}

int Win32Backend::ShowMessageBox(Form* owner, const std::u16string& text,
                                 const std::u16string& caption, unsigned flags) {
    HWND hwnd = nullptr;
    if (owner)
        if (auto* peer = dynamic_cast<WinPeer*>(owner->GetPeer())) hwnd = peer->Hwnd();
    // Without an owner the box still keeps the user out of every window of the program.
    if (!hwnd && (flags & MB_MODEMASK) == 0) flags |= MB_TASKMODAL;
    return MessageBoxW(hwnd, W(text), W(caption), flags);
}

void Win32Backend::SetCursor(int cursor) {
    cursor_ = cursor;
    if (cursor == kCrHourGlass) {
        ::SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        return;
    }
    // Back to normal: the window under the mouse chooses its cursor again.
    POINT p;
    if (GetCursorPos(&p))
        if (HWND hwnd = WindowFromPoint(p))
            if (GetWindowThreadProcessId(hwnd, nullptr) == thread_)
                SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

// The windows a modal form disables: every other visible, enabled one of the thread.
struct ModalWalk {
    HWND self;
    std::vector<HWND> disabled;
};

BOOL CALLBACK DisableForModal(HWND hwnd, LPARAM data) {
    auto* walk = reinterpret_cast<ModalWalk*>(data);
    if (hwnd != walk->self && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        walk->disabled.push_back(hwnd);
    }
    return TRUE;
}

void Win32Backend::BeginModal(Form& form) {
    // Every other window of the program stops taking input while the form is up.
    ModalWalk walk{nullptr, {}};
    if (auto* peer = dynamic_cast<WinPeer*>(form.GetPeer())) walk.self = peer->Hwnd();
    EnumThreadWindows(thread_, &DisableForModal, reinterpret_cast<LPARAM>(&walk));
    disabledByModal_.push_back(std::move(walk.disabled));
}

void Win32Backend::EndModal(Form&) {
    // Enabled again before the form hides, so that Windows activates one of them next.
    if (disabledByModal_.empty()) return;
    for (HWND hwnd : disabledByModal_.back())
        if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
    disabledByModal_.pop_back();
}

void Win32Backend::MessageSound(unsigned icon) {
    // The message box flags are the sound's own: MB_ICONHAND, MB_ICONQUESTION,
    // MB_ICONEXCLAMATION, MB_ICONASTERISK.
    MessageBeep(icon & MB_ICONMASK);
}

Font Win32Backend::MessageFont() {
    Font font;
    font.name = "Tahoma";
    font.height = -11;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        font.name = platform::Utf16ToUtf8(
            reinterpret_cast<const char16_t*>(metrics.lfMessageFont.lfFaceName));
        // The system's metrics are at the system dpi; the model's font sizes are at 96.
        font.height =
            MulDiv(static_cast<int>(metrics.lfMessageFont.lfHeight), kDesignDpi, SystemDpi());
        font.bold = metrics.lfMessageFont.lfWeight >= FW_BOLD;
    }
    return font;
}

Size Win32Backend::MeasureText(const Font& font, const std::u16string& text, int wrapWidth,
                               bool prefix) {
    // Measured at the system dpi, handed back in the description's units.
    const int dpi = SystemDpi();
    if (wrapWidth > 0) wrapWidth = Scale(wrapWidth, dpi);
    HDC dc = GetDC(nullptr);
    if (!dc) return {};
    HGDIOBJ old = SelectObject(dc, FontFor(ScaledFont(font, dpi)));
    Size size;
    const int length = static_cast<int>(text.size());
    if (wrapWidth <= 0 && !prefix) {
        SIZE extent{0, 0};
        if (GetTextExtentPoint32W(dc, W(text), length, &extent)) size = {extent.cx, extent.cy};
    } else {
        RECT r{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
        const UINT format = wrapWidth > 0
                                ? DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX
                                : DT_CALCRECT | DT_LEFT | DT_SINGLELINE;
        DrawTextW(dc, W(text), length, &r, format);
        size = {r.right - r.left, r.bottom - r.top};
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return {Unscale(size.width, dpi), Unscale(size.height, dpi)};
}

Size Win32Backend::ScreenSize() {
    const int dpi = SystemDpi();
    return {MulDiv(GetSystemMetrics(SM_CXSCREEN), kDesignDpi, dpi),
            MulDiv(GetSystemMetrics(SM_CYSCREEN), kDesignDpi, dpi)};
}

Size Win32Backend::FrameSize(const Form& form) {
    const int dpi = SystemDpi();
    RECT r{0, 0, 0, 0};
    AdjustForDpi(r, FormStyle(form), FormExStyle(form), dpi);
    return {Unscale(r.right - r.left, dpi), Unscale(r.bottom - r.top, dpi)};
}

int Win32Backend::EditHeight(const Font& font) {
    // A sunken field: the text's height and the border around it, as the framework sizes it.
    const int dpi = SystemDpi();
    HDC dc = GetDC(nullptr);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, FontFor(ScaledFont(font, dpi)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return Unscale(static_cast<int>(metrics.tmHeight), dpi) + 8 * GetSystemMetrics(SM_CYBORDER);
}

}  // namespace

std::unique_ptr<Backend> CreateNativeBackend() {
    return std::make_unique<Win32Backend>();
}

}  // namespace ui
