#pragma once
// Reads the window's picture back without waiting for it. Request copies the picture just drawn
// into one of a ring of pixel buffer objects, which the driver fills while the next frames are
// drawn; Collect maps the oldest one then, when its copy has long finished. A capture keeps two
// requests in flight, so reading back never stalls the frame being drawn.
#include <cstdint>
#include <vector>

class PictureReader
{
public:
    static constexpr int kSlots = 3;

    ~PictureReader();
    // Buffers for pictures of w x h RGB; false when the context has no pixel buffer objects.
    bool Init(int w, int h);
    // Queues a copy of the window's picture, tagged; false when every slot is taken.
    bool Request(std::uint64_t tag);
    // The oldest queued picture, RGB, top row first; false when none is queued.
    bool Collect(std::uint64_t& tag, std::vector<std::uint8_t>& rgb);
    int Pending() const { return pending; }
    void Free();

private:
    unsigned buffers[kSlots] = {0, 0, 0};
    std::uint64_t tags[kSlots] = {0, 0, 0};
    int first = 0, pending = 0;
    int width = 0, height = 0;
};
