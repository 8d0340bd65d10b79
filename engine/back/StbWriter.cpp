// The PNG writer's implementation is compiled here and only here, from the system package's
// header (a system include, so its own code is exempt from our warnings).
#include "back/StbWriter.h"

#include <string_view>

#define STBI_WRITE_NO_STDIO
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace rastelle::stb {

namespace {

struct Writing {
    TextSink* sink;
    bool ok;
};

void Write(void* context, void* data, int size) {
    auto* writing = static_cast<Writing*>(context);
    writing->ok =
        writing->ok && writing->sink->Write({static_cast<const char*>(data),
                                             static_cast<std::size_t>(size > 0 ? size : 0)});
}

}  // namespace

bool WritePng(std::int32_t width, std::int32_t height, int components, const std::uint8_t* pixels,
              TextSink& sink) {
    Writing writing{&sink, true};
    const int written = stbi_write_png_to_func(Write, &writing, width, height, components, pixels,
                                               width * components);
    return written != 0 && writing.ok;
}

}  // namespace rastelle::stb
