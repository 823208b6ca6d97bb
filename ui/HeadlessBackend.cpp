#include "ui/HeadlessBackend.h"

#include <algorithm>

namespace ui {

namespace {

class NullPeer : public Peer {
public:
    void Changed(Prop) override {}
};

void RecordControls(const Control& parent, ModalRecord& r) {
    for (const Control* c : parent.Children()) {
        ControlRecord cr;
        cr.name = c->Name();
        cr.kind = c->Kind();
        cr.caption = c->Caption();
        cr.left = c->Left(), cr.top = c->Top(), cr.width = c->Width(), cr.height = c->Height();
        cr.visible = c->Visible();
        cr.tabOrder = c->TabOrder();
        cr.tabStop = c->TabStop();
        if (auto* b = dynamic_cast<const Button*>(c)) {
            cr.isDefault = b->IsDefault();
            cr.isCancel = b->IsCancel();
            cr.modalResult = b->ModalResult();
        } else if (auto* i = dynamic_cast<const Image*>(c)) {
            cr.icon = i->SystemIcon();
        } else if (auto* e = dynamic_cast<const Edit*>(c)) {
            cr.passwordChar = e->PasswordChar();
            cr.maxLength = e->MaxLength();
        } else if (auto* l = dynamic_cast<const Label*>(c)) {
            cr.wordWrap = l->WordWrap();
        }
        r.controls.push_back(cr);
        RecordControls(*c, r);
    }
}

// The width in characters of one line with its tabs expanded.
size_t ExpandedLength(const std::u16string& line) {
    size_t n = 0;
    for (char16_t ch : line)
        n = ch == u'\t' ? (n / HeadlessBackend::kTabChars + 1) * HeadlessBackend::kTabChars : n + 1;
    return n;
}

}  // namespace

const ControlRecord* ModalRecord::Find(const std::string& name) const {
    for (const ControlRecord& c : controls)
        if (c.name == name) return &c;
    return nullptr;
}

std::vector<const ControlRecord*> ModalRecord::OfKind(ControlKind kind) const {
    std::vector<const ControlRecord*> out;
    for (const ControlRecord& c : controls)
        if (c.kind == kind) out.push_back(&c);
    return out;
}

std::unique_ptr<Peer> HeadlessBackend::CreatePeer(Control&) {
    return std::make_unique<NullPeer>();
}

int HeadlessBackend::ShowMessageBox(Form* owner, const std::u16string& text,
                                    const std::u16string& caption, unsigned flags) {
    MessageBoxRecord r{owner, text, caption, flags};
    boxes.push_back(r);
    if (responder) return responder(r);
    return (flags & kMbButtonMask) == kMbYesNo ? kIdYes : kIdOk;
}

void HeadlessBackend::BeginModal(Form& form) {
    ModalRecord r;
    r.caption = form.Caption();
    r.left = form.Left(), r.top = form.Top();
    r.clientWidth = form.ClientWidth(), r.clientHeight = form.ClientHeight();
    r.borderStyle = form.GetBorderStyle();
    r.position = form.Position();
    r.font = form.GetFont();
    if (Control* active = form.ActiveControl()) r.activeControl = active->Name();
    RecordControls(form, r);
    r.sounds.assign(sounds.begin() + static_cast<std::ptrdiff_t>(soundsRecorded_), sounds.end());
    soundsRecorded_ = sounds.size();
    modals.push_back(r);
    int result = 0;
    if (modalResponder) {
        result = modalResponder(form, modals.back());
    } else if (Button* b = form.DefaultButton()) {
        result = b->ModalResult();
    }
    if (result != 0) form.SetModalResult(result);
}

Size HeadlessBackend::MeasureText(const Font&, const std::u16string& text, int wrapWidth,
                                  bool prefix) {
    if (wrapWidth <= 0) {
        size_t n = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (prefix && text[i] == u'&' && i + 1 < text.size()) ++i;  // the marked character
            ++n;
        }
        return {static_cast<int>(n) * kCharWidth, kLineHeight};
    }
    // Paragraphs at line feeds, each broken into lines at spaces.
    const size_t limit = static_cast<size_t>(wrapWidth / kCharWidth);
    size_t widest = 0, lines = 0;
    size_t start = 0;
    while (true) {
        size_t end = text.find(u'\n', start);
        std::u16string para = text.substr(start, end == std::u16string::npos ? end : end - start);
        if (!para.empty() && para.back() == u'\r') para.pop_back();
        std::u16string line;
        size_t pos = 0;
        bool any = false;
        while (pos <= para.size()) {
            size_t space = para.find(u' ', pos);
            if (space == std::u16string::npos) space = para.size();
            const std::u16string word = para.substr(pos, space - pos);
            std::u16string candidate = line.empty() && !any ? word : line + u' ' + word;
            if (any && ExpandedLength(candidate) > limit) {
                widest = std::max(widest, ExpandedLength(line));
                ++lines;
                candidate = word;
            }
            line = candidate;
            any = true;
            pos = space + 1;
        }
        widest = std::max(widest, ExpandedLength(line));
        ++lines;
        if (end == std::u16string::npos) break;
        start = end + 1;
    }
    return {static_cast<int>(widest) * kCharWidth, static_cast<int>(lines) * kLineHeight};
}

}  // namespace ui
