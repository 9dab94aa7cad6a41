#pragma once
// The strip under the video: the captured frames as one horizontal row of
// thumbnails with their labels. It scrolls sideways, reorders frames by dragging
// (a drop marker shows the boundary they will land on) and offers "Change
// Label", "Delete" and "Delete All" on a right-click.
#include <QAbstractScrollArea>
#include <memory>
#include <vector>

#include "strip/frame_list.h"
#include "strip/view/strip_geometry.h"
#include "strip/view/strip_row.h"

class QAction;
class QMenu;

class CThumbStrip : public QAbstractScrollArea {
    Q_OBJECT
public:
    // Command ids of the popup menu's items.
    static constexpr int ID_DELETE_FRAME = 1025;
    static constexpr int ID_DELETE_ALL = 1026;
    static constexpr int ID_CHANGE_LABEL = 1027;
    static constexpr int kLineStep = 5;
    static constexpr int kPageStep = 50;

    explicit CThumbStrip(QWidget* parent = nullptr);
    ~CThumbStrip() override;

    // Places the strip in `parent` at the given rectangle, shows it and lays
    // it out; the real client size follows with the first resize.
    bool Create(int x, int y, int width, int height, QWidget* parent);

    // The list operations; all but MoveFrame lay out and repaint.
    void AddFrame(std::unique_ptr<CDibImage> image, const char* label);
    void AddFrame(std::unique_ptr<CDibImage> image, const char* label,
                  std::unique_ptr<CDibImage> thumbnail);
    void GetFrames(std::vector<const CDibImage*>& images, std::vector<const char*>& labels) const;
    void DeleteSelectedFrame();
    void DeleteAllFrames();
    void ReplaceSelectedLabel(const char* text);
    // Moves frame `from` to boundary k without laying out; call Relayout after.
    void MoveFrame(int from, int k);
    // Draws the row again (lazily, per tile), resets the scroll bar and repaints.
    void Relayout();

    // Selects the frame under client x (the y coordinate does not matter) and
    // answers it, or clears the selection and answers null past the last frame.
    const CapturedFrame* HitTest(int clientX);
    // Asks for a new label for the selected frame; OK replaces it.
    void ChangeSelectedLabel();

    const FrameList& Frames() const { return m_frames; }
    int FrameCount() const { return m_frames.Count(); }
    const StripGeometry& Geometry() const { return m_geometry; }
    int ThumbWidth() const { return m_geometry.ThumbWidth(); }
    int ThumbHeight() const { return m_geometry.ThumbHeight(); }
    int ContentWidth() const { return m_row.ContentWidth(); }
    int ScrollPos() const { return m_scrollPos; }
    int DropMarkerX() const { return m_dropMarkerX; }
    int DragIndex() const { return m_dragIndex; }
    // The text label box `index` shows (first line, cut with "..." if too wide).
    QString ShownLabel(int index) const;
    int DrawnTileCount() const { return m_row.DrawnTileCount(); }

protected:
    // Shows the popup at `globalPos` and answers the chosen item (null when
    // dismissed). Tests override it so nothing modal runs.
    virtual QAction* RunPopupMenu(QMenu& menu, const QPoint& globalPos);

    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void OnSize();
    void OnScrollAction(int action);
    void OnCommand(int id);
    void OnRightButtonDown(QMouseEvent* event);
    void RepaintNow();

    FrameList m_frames;
    StripGeometry m_geometry;
    StripRow m_row;
    QMenu* m_popupMenu;
    int m_dropMarkerX = -1;  // content x, -1 when hidden
    int m_dragIndex = -1;
    int m_scrollPos = 0;
    bool m_inRelayout = false;
};
