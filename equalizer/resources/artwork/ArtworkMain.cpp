// lumaro-artwork: draws one of the editor's images and writes it as a PNG.
//
//   lumaro-artwork <font directory> <output.png>
//   lumaro-artwork --preview <font directory> <output.png> <scale>
//
// The output's file name says which image to draw. The build runs one
// instance per image, so the images are drawn in parallel.

#include "equalizer/resources/artwork/ArtworkPreview.h"
#include "equalizer/resources/artwork/KnobArt.h"
#include "equalizer/resources/artwork/PanelArt.h"
#include "equalizer/resources/artwork/SwitchArt.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace {

using artwork::FontLibrary;
using artwork::SurfacePtr;

struct Image {
    std::string_view fileName;
    std::function<SurfacePtr(const FontLibrary&)> render;
};

const Image kImages[] = {
    {"LEQ_back.png", [](const FontLibrary& f) { return artwork::RenderPanel(f, 1.0); }},
    {"LEQ_back@2x.png", [](const FontLibrary& f) { return artwork::RenderPanel(f, 2.0); }},
    {"smallknob.png", [](const FontLibrary&) { return artwork::RenderGainKnobStrip(47, 1.0); }},
    {"smallknob@2x.png", [](const FontLibrary&) { return artwork::RenderGainKnobStrip(94, 2.0); }},
    {"x271_frame_stack_fixed_again.png",
     [](const FontLibrary&) { return artwork::RenderFrequencyKnobStrip(64, 1.0); }},
    {"x271_frame_stack_fixed_again@2x.png",
     [](const FontLibrary&) { return artwork::RenderFrequencyKnobStrip(118, 2.0); }},
    {"LEQ_OS.png", [](const FontLibrary& f) { return artwork::RenderSwitch(f, 1.0); }},
    {"LEQ_OS@2x.png", [](const FontLibrary& f) { return artwork::RenderSwitch(f, 2.0); }},
};

// Written beside the target and renamed over it, so an interrupted build
// never leaves a truncated image that looks up to date.
void WritePng(cairo_surface_t* surface, const std::filesystem::path& path) {
    const std::filesystem::path partial = path.string() + ".partial";
    artwork::ThrowIfFailed(cairo_surface_write_to_png(surface, partial.c_str()), "PNG writing");
    std::filesystem::rename(partial, path);
}

int Usage() {
    std::fprintf(stderr, "usage: lumaro-artwork <font directory> <output.png>\n"
                         "       lumaro-artwork --preview <font directory> <output.png> <scale>\n");
    return 2;
}

int Run(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--preview") == 0) {
        const double scale = std::stod(argv[4]);
        if (scale != 1.0 && scale != 2.0)
            return Usage();
        FontLibrary fonts(argv[2]);
        SurfacePtr preview = artwork::RenderPreview(fonts, scale);
        WritePng(preview.get(), argv[3]);
        return 0;
    }
    if (argc != 3)
        return Usage();
    const std::filesystem::path output = argv[2];
    const std::string name = output.filename().string();
    for (const Image& image : kImages) {
        if (image.fileName != name)
            continue;
        FontLibrary fonts(argv[1]);
        SurfacePtr surface = image.render(fonts);
        WritePng(surface.get(), output);
        return 0;
    }
    std::fprintf(stderr, "lumaro-artwork: no image is called %s\n", name.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumaro-artwork: %s\n", error.what());
        return 1;
    }
}
