#pragma once
// Which pictures before a seek target may be left undecoded or unshown. The
// picture on screen at the target is the last one at or before it, so an
// earlier picture can be left out only once a later one at or before the
// target is known to come. Nominal frame durations cannot tell: streams with a
// variable frame rate (phones, screen recorders) leave gaps of any length, and
// the picture before such a gap may be one that nothing refers to.
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/avutil.h>
}

class TargetWindow {
public:
    // A new target after a seek: nothing is known about the pictures yet.
    void Reset(int64_t target) {
        m_target = target;
        m_covered = AV_NOPTS_VALUE;
        m_beyond.clear();
    }
    // A later target without a seek; what was sent for the earlier one counts.
    void MoveTo(int64_t target) {
        if (m_target == AV_NOPTS_VALUE || target < m_target) {
            Reset(target);
            return;
        }
        m_target = target;
        for (size_t i = 0; i < m_beyond.size();) {
            if (m_beyond[i] <= target) {
                Cover(m_beyond[i]);
                m_beyond[i] = m_beyond.back();
                m_beyond.pop_back();
            } else {
                ++i;
            }
        }
    }
    // True when the picture of a packet with this time cannot be the answer:
    // a packet already sent lies between it and the target. The decoder may
    // then drop it if nothing refers to it.
    bool Superseded(int64_t pts) const {
        return pts != AV_NOPTS_VALUE && m_covered != AV_NOPTS_VALUE && pts < m_covered;
    }
    // A packet goes to the decoder: whether its picture may be dropped when
    // nothing refers to it (Superseded), then noted as sent.
    bool Send(int64_t pts) {
        const bool superseded = Superseded(pts);
        Sent(pts);
        return superseded;
    }
    // A packet went to the decoder.
    void Sent(int64_t pts) {
        if (pts == AV_NOPTS_VALUE || m_target == AV_NOPTS_VALUE) return;
        if (pts <= m_target)
            Cover(pts);
        else if (m_beyond.size() < kMaxBeyond)  // forgetting one only costs a skip
            m_beyond.push_back(pts);
    }

private:
    void Cover(int64_t pts) {
        if (m_covered == AV_NOPTS_VALUE || pts > m_covered) m_covered = pts;
    }
    static constexpr size_t kMaxBeyond = 64;
    int64_t m_target = AV_NOPTS_VALUE;
    int64_t m_covered = AV_NOPTS_VALUE;  // latest packet time sent at or before the target
    std::vector<int64_t> m_beyond;       // packet times sent past the target
};
