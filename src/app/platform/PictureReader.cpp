#include "app/platform/PictureReader.h"

#include "app/platform/GLWindow.h"

#include <GL/glew.h>

#include <cstring>

PictureReader::~PictureReader() { Free(); }

bool PictureReader::Init(int w, int h)
{
    Free();
    if (!(GLEW_VERSION_2_1 || GLEW_ARB_pixel_buffer_object))
        return false;
    width = w;
    height = h;
    glGenBuffers(kSlots, buffers);
    for (unsigned b : buffers)
    {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, b);
        glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(w) * h * 3, nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return true;
}

bool PictureReader::Request(std::uint64_t tag)
{
    if (!buffers[0] || pending == kSlots)
        return false;
    const int slot = (first + pending) % kSlots;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, glWindow.PictureFramebuffer());
    glReadBuffer(glWindow.PictureFramebuffer() ? GL_COLOR_ATTACHMENT0 : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers[slot]);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    tags[slot] = tag;
    ++pending;
    return true;
}

bool PictureReader::Collect(std::uint64_t& tag, std::vector<std::uint8_t>& rgb)
{
    if (pending == 0)
        return false;
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    rgb.resize(row * static_cast<std::size_t>(height));
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers[first]);
    const auto* p = static_cast<const std::uint8_t*>(glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY));
    if (p)
    {
        // GL hands rows bottom first.
        for (int y = 0; y < height; ++y)
            std::memcpy(rgb.data() + row * static_cast<std::size_t>(y),
                        p + row * static_cast<std::size_t>(height - 1 - y), row);
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    tag = tags[first];
    first = (first + 1) % kSlots;
    --pending;
    return p != nullptr;
}

void PictureReader::Free()
{
    if (buffers[0] && glWindow.IsOpen())
        glDeleteBuffers(kSlots, buffers);
    for (unsigned& b : buffers)
        b = 0;
    first = pending = 0;
}
