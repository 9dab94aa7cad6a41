#pragma once
// The captured frames in strip order. The strip window owns one FrameList and
// lays itself out again whenever the list reports a change.
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "image/dib_image.h"

struct CapturedFrame {
    std::string label;
    std::unique_ptr<CDibImage> thumbnail;  // cell size at the time it was made
    std::unique_ptr<CDibImage> image;      // full-size frame
};

class FrameList {
public:
    FrameList();
    ~FrameList();
    FrameList(const FrameList&) = delete;
    FrameList& operator=(const FrameList&) = delete;

    // Called after every change except MoveFrame (the caller lays out after a move).
    void SetRelayoutHook(std::function<void()> hook) { m_relayout = std::move(hook); }

    // Cell size for new thumbnails; existing thumbnails are remade from their
    // full images when it changes (does not call the hook).
    void SetThumbSize(int width, int height);
    int ThumbWidth() const { return m_thumbWidth; }
    int ThumbHeight() const { return m_thumbHeight; }

    // Takes ownership of image; label is copied.
    void AddFrame(std::unique_ptr<CDibImage> image, const char* label);
    // The same with a thumbnail made beforehand (on another thread); it is
    // made again when its size is not the current cell size.
    void AddFrame(std::unique_ptr<CDibImage> image, const char* label,
                  std::unique_ptr<CDibImage> thumbnail);
    // The whole frame stretched into a width x height cell (black without pixels).
    static std::unique_ptr<CDibImage> MakeThumbnail(const CDibImage& image, int width, int height);
    // Borrowed views in strip order, valid until the list next changes.
    void GetFrames(std::vector<const CDibImage*>& images, std::vector<const char*>& labels) const;

    int Count() const { return int(m_frames.size()); }
    const CapturedFrame* At(int index) const;

    // The frame "Delete" and "Change Label" act on; index -1 clears it.
    void SetSelected(int index);
    const CapturedFrame* Selected() const { return m_selected; }

    void DeleteSelectedFrame();
    void DeleteAllFrames();
    void ReplaceSelectedLabel(const char* text);
    // Moves frame `from` to boundary k (0..Count()); k == from or from + 1,
    // or k out of range, changes nothing.
    void MoveFrame(int from, int k);

private:
    void Relayout();
    std::unique_ptr<CDibImage> MakeThumbnail(const CDibImage& image) const {
        return MakeThumbnail(image, m_thumbWidth, m_thumbHeight);
    }

    std::list<std::unique_ptr<CapturedFrame>> m_frames;
    CapturedFrame* m_selected = nullptr;
    int m_thumbWidth = 0;
    int m_thumbHeight = 0;
    std::function<void()> m_relayout;
};
