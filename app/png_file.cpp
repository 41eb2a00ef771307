#include "app/png_file.h"

#include "meshio/atomic_file.h"
#include "meshio/meshio.h"

#include <png.h>

namespace tuft::app {

namespace {

void writeToFile(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<meshio::AtomicFile *>(png_get_io_ptr(png))->write(reinterpret_cast<const char *>(data), length);
}

void flushNothing(png_structp) {}

} // namespace

void writePng(meshio::OutputSet &outputs, const std::string &path, const std::vector<std::uint8_t> &rgb, int width,
              int height)
{
    meshio::AtomicFile &file = outputs.add(path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw meshio::MeshIoError("cannot write " + path + ": the PNG encoder failed");
    }
    png_set_write_fn(png, &file, writeToFile, flushNothing);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(&rgb[static_cast<std::size_t>(y) * width * 3]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    file.complete();
}

} // namespace tuft::app
