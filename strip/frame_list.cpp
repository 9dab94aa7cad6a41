#include "strip/frame_list.h"

#include <algorithm>
#include <iterator>

FrameList::FrameList() = default;

// Destruction frees every frame without laying out: the owner is going away.
FrameList::~FrameList() = default;

void FrameList::Relayout() {
    if (m_relayout) m_relayout();
}

std::unique_ptr<CDibImage> FrameList::MakeThumbnail(const CDibImage& image, int width, int height) {
    auto thumbnail = std::make_unique<CDibImage>();
    if (width < 0) width = 0;
    if (height < 0) height = 0;
    if (!thumbnail->Create(width, height)) thumbnail->Create(0, 0);
    if (thumbnail->Width() == 0 || thumbnail->Height() == 0) return thumbnail;
    if (image.HasPixels() && image.Width() > 0 && image.Height() > 0) {
        // The whole frame fills the whole cell; the frame's aspect is not kept.
        thumbnail->StretchFrom(nullptr, image);
    } else {
        // A frame without pixels still gets a defined cell: black.
        thumbnail->Fill(nullptr, 0);
    }
    return thumbnail;
}

void FrameList::SetThumbSize(int width, int height) {
    if (width == m_thumbWidth && height == m_thumbHeight) return;
    m_thumbWidth = width;
    m_thumbHeight = height;
    // Remade from the full images so that drawing never reads outside a thumbnail.
    for (auto& frame : m_frames) frame->thumbnail = MakeThumbnail(*frame->image);
}

void FrameList::AddFrame(std::unique_ptr<CDibImage> image, const char* label) {
    AddFrame(std::move(image), label, nullptr);
}

void FrameList::AddFrame(std::unique_ptr<CDibImage> image, const char* label,
                         std::unique_ptr<CDibImage> thumbnail) {
    if (!image) image = std::make_unique<CDibImage>();
    auto frame = std::make_unique<CapturedFrame>();
    frame->label = label ? label : "";
    const bool fits = thumbnail && thumbnail->Width() == std::max(m_thumbWidth, 0) &&
                      thumbnail->Height() == std::max(m_thumbHeight, 0);
    frame->thumbnail = fits ? std::move(thumbnail) : MakeThumbnail(*image);
    frame->image = std::move(image);
    m_frames.push_back(std::move(frame));
    Relayout();
}

void FrameList::GetFrames(std::vector<const CDibImage*>& images,
                          std::vector<const char*>& labels) const {
    images.clear();
    labels.clear();
    images.reserve(m_frames.size());
    labels.reserve(m_frames.size());
    for (const auto& frame : m_frames) {
        images.push_back(frame->image.get());
        labels.push_back(frame->label.c_str());
    }
}

const CapturedFrame* FrameList::At(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return std::next(m_frames.begin(), index)->get();
}

void FrameList::SetSelected(int index) {
    m_selected = nullptr;
    if (index < 0 || index >= Count()) return;
    m_selected = std::next(m_frames.begin(), index)->get();
}

void FrameList::DeleteSelectedFrame() {
    if (!m_selected) return;
    for (auto it = m_frames.begin(); it != m_frames.end(); ++it) {
        if (it->get() == m_selected) {
            m_frames.erase(it);
            break;
        }
    }
    m_selected = nullptr;
    Relayout();
}

void FrameList::DeleteAllFrames() {
    m_frames.clear();
    m_selected = nullptr;
    Relayout();
}

void FrameList::ReplaceSelectedLabel(const char* text) {
    if (!m_selected) return;
    m_selected->label = text ? text : "";
    Relayout();
}

void FrameList::MoveFrame(int from, int k) {
    const int count = Count();
    if (from < 0 || from >= count || k < 0 || k > count || k == from) return;
    // Both positions are taken as the list stands before the move; splicing the
    // record in front of the frame now at boundary k (or the end) does the rest,
    // and k == from + 1 puts it back where it was.
    auto source = std::next(m_frames.begin(), from);
    auto target = k == count ? m_frames.end() : std::next(m_frames.begin(), k);
    m_frames.splice(target, m_frames, source);
}
