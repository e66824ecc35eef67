// SPDX-License-Identifier: MIT
// brask: turns G00 and PDT pictures into PNG files as they are stored (alpha, palettes and
// type-2 parts kept) through the public API, or into the picture a host viewer gets (PNG or
// BMP) by loading the if_brask plug-in as a viewer does. It also makes such pictures
// (encode) and shows the whole round trip on pictures drawn in code (demo).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tools/brask/batch_convert.h"
#include "tools/brask/demo_command.h"
#include "tools/brask/encode_files.h"
#include "tools/brask/info_command.h"
#include "tools/brask/interrupt.h"
#include "tools/brask/picture_modes.h"
#include "tools/brask/plugin_library.h"
#include "brask_version.h"


namespace {

const char kMainExamples[] = R"(
Examples:
  brask demo                              make sample pictures in every mode and decode them
  brask info picture.pdt                  size, colour depth, mode, alpha, palette, parts
  brask convert pictures/ -o png/         every G00 and PDT picture under pictures/, as PNG
  brask encode photo.png photo.pdt --mode pdt10

Run 'brask COMMAND --help' for a command's options.)";

const char kInfoExamples[] = R"(
Examples:
  brask info title.g00 bg01.pdt
  brask info --json data/*.pdt          one JSON object per line:
      {"file":"data/bg01.pdt","supported":true,"width":640,"height":480,"depth":24,
       "mode":"pdt10","alpha":false,"palette":0,"parts":[]})";

const char kConvertExamples[] = R"(
Folders are walked recursively and only G00 and PDT pictures are converted; the outputs
mirror the input tree under OUT (without -o, each output is written beside its input).
What is stored is written: masked PDT10 and type-2 G00 as RGBA PNGs with their alpha, G00
type 1 and PDT11 as palette PNGs, the rest as RGB PNGs. --parts also writes each part of a
type-2 G00 as NAME-partN.png (N: its place in the part directory, from 0) and NAME-parts.json.
--flatten writes instead what the plug-in hands a host viewer (alpha onto black, parts
stacked), through its exports; --format bmp implies it and writes that DIB exactly. Existing
outputs are kept unless --force is given. Exit status: 0 when every file was converted, 1
when any failed or was not overwritten, 130 after Ctrl-C.

Examples:
  brask convert bg01.pdt                  writes bg01.png beside it
  brask convert game/data -o out/png      out/png/... mirrors game/data/...
  brask convert sprites -o out --parts    every part of every type-2 G00 on its own
  brask convert game/data -o out/bmp --format bmp -j 4 --force)";

const char kEncodeExamples[] = R"(
Modes: g00-0 (24-bit), g00-1 (8-bit indexed), g00-2 (parts with alpha), pdt10 (24-bit),
pdt10-mask (24-bit with an alpha mask), pdt11 (8-bit indexed), or auto: per picture, the
alpha mode when any pixel is not opaque, else the indexed mode for at most 256 colours, else
the 24-bit mode. Indexed modes need at most 256 colours (a palette PNG keeps its own
palette); alpha modes keep the PNG's alpha, colour under alpha 0 included, and `brask
convert` gives it back exactly. NAME-parts.json with its NAME-partN.png pictures, as
`convert --parts` writes them, becomes a type-2 G00 whose parts convert back to the same
PNGs and JSON. A batch (-o) walks folders, mirrors them, and writes each parts description
instead of the PNGs beside it. A G00 file is recognised by its .g00 name.

Examples:
  brask encode photo.png photo.pdt --mode pdt10
  brask encode icon.png icon.g00 --mode g00-2
  brask encode art.png art.pdt                      mode chosen from the picture
  brask encode photo.png photo.pdt --mode pdt10 --level 4   faster, larger
  brask encode out/chara-parts.json chara.g00       the parts back into a sprite
  brask encode png/ -o game/data --mode auto --format g00 --level 9 -j 4)";

const char kDemoExamples[] = R"(
Draws pictures in code, encodes each in every mode into DIR/samples, decodes them back
through the plug-in, checks every decoded picture against what was encoded (alpha modes:
flattened onto black) and writes the results to DIR/png for a look. DIR defaults to
brask-demo in the temporary folder.

Examples:
  brask demo
  brask demo /tmp/look)";

std::string g_plugin_path;

bool LoadPlugin(brask::PluginLibrary* plugin) {
  const std::string path = g_plugin_path.empty() ? brask::PluginLibrary::DefaultPath() : g_plugin_path;
  std::string why;
  if (!plugin->Load(path, &why)) {
    std::fprintf(stderr, "brask: %s\n", why.c_str());
    if (g_plugin_path.empty()) std::fprintf(stderr, "brask: give the plug-in's path with --plugin PATH\n");
    return false;
  }
  return true;
}

void AddPluginOption(CLI::App* command) {
  command->add_option("--plugin", g_plugin_path,
                      "the plug-in library to load (default: the one beside brask)");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"brask: converts G00 and PDT pictures as stored, or as the if_brask plug-in shows them"};
  app.footer(kMainExamples);
  app.set_version_flag("--version", "brask " BRASK_RELEASE_VERSION);
  app.require_subcommand(1);

  CLI::App* info = app.add_subcommand("info", "describe each picture: size, depth, mode, alpha, palette, parts");
  std::vector<std::string> info_files;
  bool json = false;
  info->add_option("FILE", info_files, "pictures to describe")->required();
  info->add_flag("--json", json, "one JSON object per line");
  info->footer(kInfoExamples);

  CLI::App* convert = app.add_subcommand("convert", "convert pictures and folders of pictures to PNG or BMP");
  brask::ConvertOptions convert_options;
  std::string format_name = brask::DefaultOutputFormat() == brask::OutputFormat::kPng ? "png" : "bmp";
  unsigned workers = std::max(1u, std::thread::hardware_concurrency());
  convert->add_option("INPUT", convert_options.inputs, "files or folders")->required();
  convert->add_option("-o,--output", convert_options.output_folder,
                      "folder for the outputs (default: beside each input)");
  convert->add_option("--format", format_name, "png or bmp (bmp implies --flatten)")
      ->check(CLI::IsMember({"png", "bmp"}))
      ->capture_default_str();
  convert->add_option("-j,--jobs", workers, "files converted at once (default: the number of cores)")
      ->check(CLI::Range(1u, 256u))
      ->capture_default_str();
  convert->add_flag("--force", convert_options.force, "overwrite existing outputs");
  convert->add_option("--png-level", convert_options.png.level,
                      "zlib level 0 (store) to 9 (smallest) with adaptive row filters; default: "
                      "run-length deflate over Paeth rows, about as small as level 6 and several "
                      "times as fast")
      ->check(CLI::Range(0, 9));
  CLI::Option* flatten = convert->add_flag(
      "--flatten", convert_options.flatten,
      "write what the plug-in hands a host viewer: alpha onto black, parts stacked");
  convert->add_flag("--parts", convert_options.parts,
                    "type-2 G00: also each part as NAME-partN.png, and NAME-parts.json")
      ->excludes(flatten);
  AddPluginOption(convert);
  convert->footer(kConvertExamples);

  CLI::App* encode = app.add_subcommand(
      "encode", "write PNG pictures, and the parts convert --parts wrote, as G00 or PDT files");
  brask::EncodeFilesOptions encode_options;
  encode_options.mode_name = "auto";
  unsigned encode_workers = std::max(1u, std::thread::hardware_concurrency());
  encode->add_option("INPUT", encode_options.inputs,
                     "IN OUT (a PNG or NAME-parts.json, and the file to write), or with -o "
                     "files and folders")
      ->required();
  encode->add_option("-o,--output", encode_options.output_folder,
                     "folder for a batch's outputs, mirroring the input tree");
  encode->add_option("--mode", encode_options.mode_name,
                     "auto (from each picture: alpha, colour count) or " + brask::ModeNames())
      ->check([](const std::string& name) {
        return name == "auto" || brask::FindMode(name) != nullptr
                   ? std::string()
                   : "unknown mode " + name + "; use auto or one of " + brask::ModeNames();
      })
      ->capture_default_str();
  encode->add_option("--format", encode_options.format,
                     "g00 or pdt: the format --mode auto chooses in (default: OUT's name)")
      ->check(CLI::IsMember({"g00", "pdt"}));
  encode->add_option("--level", encode_options.level,
                     "encoder effort, 0 (fastest) to 9 (an optimal parse, the smallest files); "
                     "default: the library's")
      ->check(CLI::Range(0, 9));
  encode->add_option("-j,--jobs", encode_workers, "files encoded at once (default: the number of cores)")
      ->check(CLI::Range(1u, 256u));
  encode->add_flag("--force", encode_options.force, "overwrite existing outputs");
  encode->footer(kEncodeExamples);

  CLI::App* demo = app.add_subcommand("demo", "make sample pictures in every mode and check that they decode exactly");
  std::string demo_folder;
  demo->add_option("DIR", demo_folder, "where the samples and decoded pictures go");
  AddPluginOption(demo);
  demo->footer(kDemoExamples);

  CLI11_PARSE(app, argc, argv);
  brask::InstallInterruptHandler();

  if (*encode) {
#if BRASK_HAVE_PNG_READER
    encode_options.workers = encode_workers;
    return brask::RunEncodeFiles(encode_options);
#else
    std::fprintf(stderr, "brask encode: this build reads no PNG files (the Windows build converts only)\n");
    return 1;
#endif
  }
  if (*info) return brask::RunInfo(info_files, json);
  brask::PluginLibrary plugin;
  if (*demo) {
    if (!LoadPlugin(&plugin)) return 2;
    return brask::RunDemo(plugin, demo_folder.empty() ? brask::DefaultDemoFolder() : demo_folder);
  }
  convert_options.format = format_name == "png" ? brask::OutputFormat::kPng : brask::OutputFormat::kBmp;
  if (convert_options.format == brask::OutputFormat::kPng && !brask::PngAvailable()) {
    std::fprintf(stderr, "brask: this build writes BMP only; use --format bmp\n");
    return 2;
  }
  if (convert_options.format == brask::OutputFormat::kBmp) {
    if (convert_options.parts) {
      std::fprintf(stderr, "brask: --parts writes PNG; it cannot go with --format bmp\n");
      return 2;
    }
    convert_options.flatten = true;  // a BMP holds no alpha: it is the host viewer's picture
  }
  if (convert_options.flatten && !LoadPlugin(&plugin)) return 2;
  convert_options.workers = workers;
  return brask::RunConvert(&plugin, convert_options);
}
