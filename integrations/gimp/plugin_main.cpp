// SPDX-License-Identifier: MIT
// The GIMP 2.10 plug-in: load and export procedures for G00 and PDT pictures, on the C API.
// GIMP runs a plug-in in a process of its own and talks to it through the procedural
// database; every answer here is a status with GIMP's error message, and no C++ exception
// leaves run(), whatever the file holds.
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include "brask/brask.h"
#include "integrations/gimp/export_picture.h"
#include "integrations/gimp/load_picture.h"

namespace {

const char kG00Load[] = "file-g00-load";
const char kG00Export[] = "file-g00-save";
const char kPdtLoad[] = "file-pdt-load";
const char kPdtExport[] = "file-pdt-save";
const char kPlugInBinary[] = "file-brask";

struct ExportSettings {
  char mode[16];
  gint32 level;
};

void Query() {
  static const GimpParamDef load_arguments[] = {
      {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode")},
      {GIMP_PDB_STRING, const_cast<gchar*>("filename"), const_cast<gchar*>("The file to load")},
      {GIMP_PDB_STRING, const_cast<gchar*>("raw-filename"), const_cast<gchar*>("The name entered")},
  };
  static const GimpParamDef load_results[] = {
      {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("The image")},
  };
  static const GimpParamDef export_arguments[] = {
      {GIMP_PDB_INT32, const_cast<gchar*>("run-mode"), const_cast<gchar*>("The run mode")},
      {GIMP_PDB_IMAGE, const_cast<gchar*>("image"), const_cast<gchar*>("The image to export")},
      {GIMP_PDB_DRAWABLE, const_cast<gchar*>("drawable"), const_cast<gchar*>("Not used: the image's visible layers are written")},
      {GIMP_PDB_STRING, const_cast<gchar*>("filename"), const_cast<gchar*>("The file to write")},
      {GIMP_PDB_STRING, const_cast<gchar*>("raw-filename"), const_cast<gchar*>("The name entered")},
      {GIMP_PDB_STRING, const_cast<gchar*>("mode"),
       const_cast<gchar*>("g00-0, g00-1, g00-2 (each visible layer a part) for G00; pdt10, pdt10-mask, "
                          "pdt11 for PDT; empty: chosen from the image")},
      {GIMP_PDB_INT32, const_cast<gchar*>("level"), const_cast<gchar*>("Encoder effort 0..9, -1 the default")},
  };
  struct Format {
    const char* load;
    const char* save;
    const char* label;
    const char* mime;
    const char* extension;
  };
  const Format formats[] = {{kG00Load, kG00Export, "G00 picture", "image/x-g00", "g00"},
                            {kPdtLoad, kPdtExport, "PDT picture", "image/x-pdt", "pdt"}};
  for (const Format& format : formats) {
    gimp_install_procedure(format.load, "Loads G00 and PDT pictures",
                           "Opens what is stored: alpha, the palette of indexed pictures, and "
                           "each part of a type-2 G00 as a layer at its place.",
                           "if_brask developers", "if_brask developers", "2026", format.label,
                           nullptr, GIMP_PLUGIN, G_N_ELEMENTS(load_arguments),
                           G_N_ELEMENTS(load_results), load_arguments, load_results);
    gimp_register_file_handler_mime(format.load, format.mime);
    gimp_install_procedure(format.save, "Exports G00 and PDT pictures",
                           "Writes every mode; a type-2 G00 is written from the layers, each a part.",
                           "if_brask developers", "if_brask developers", "2026", format.label,
                           "RGB*, INDEXED*, GRAY*", GIMP_PLUGIN, G_N_ELEMENTS(export_arguments), 0,
                           export_arguments, nullptr);
    gimp_register_file_handler_mime(format.save, format.mime);
    gimp_register_save_handler(format.save, format.extension, "");
  }
  gimp_register_load_handler(kG00Load, "g00", "");
  // PDT is known by its signature whatever the name; G00 only by its name.
  gimp_register_magic_load_handler(kPdtLoad, "pdt", "", "0,string,PDT1");
}

// Asks for the mode and level; false when cancelled.
bool AskExportSettings(brask_gimp::FileKind kind, ExportSettings* settings) {
  gimp_ui_init(kPlugInBinary, FALSE);
  GtkWidget* dialog = gimp_export_dialog_new(kind == brask_gimp::FileKind::kG00 ? "G00" : "PDT",
                                             kPlugInBinary, nullptr);
  GtkWidget* box = gtk_vbox_new(FALSE, 6);
  gtk_container_set_border_width(GTK_CONTAINER(box), 12);
  gtk_box_pack_start(GTK_BOX(gimp_export_dialog_get_content_area(dialog)), box, TRUE, TRUE, 0);
  GtkWidget* modes = gtk_combo_box_text_new();
  const char* const names[] = {"g00-0", "g00-1", "g00-2", "pdt10", "pdt10-mask", "pdt11"};
  const char* const labels[] = {"g00-0: 24-bit colour", "g00-1: 8-bit indexed",
                                "g00-2: parts with alpha, one a layer", "pdt10: 24-bit colour",
                                "pdt10-mask: 24-bit colour with alpha", "pdt11: 8-bit indexed"};
  const int first = kind == brask_gimp::FileKind::kG00 ? 0 : 3;
  gint active = 0;
  for (int n = first; n < first + 3; ++n) {
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(modes), labels[n]);
    if (std::strcmp(names[n], settings->mode) == 0) active = n - first;
  }
  gtk_combo_box_set_active(GTK_COMBO_BOX(modes), active);
  gtk_box_pack_start(GTK_BOX(box), modes, FALSE, FALSE, 0);
  GtkWidget* level_row = gtk_hbox_new(FALSE, 6);
  gtk_box_pack_start(GTK_BOX(level_row), gtk_label_new("Effort (0 fastest, 9 smallest):"), FALSE, FALSE, 0);
  GtkWidget* level = gtk_spin_button_new_with_range(0, 9, 1);
  gtk_spin_button_set_value(GTK_SPIN_BUTTON(level), settings->level < 0 ? 9 : settings->level);
  gtk_box_pack_start(GTK_BOX(level_row), level, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), level_row, FALSE, FALSE, 0);
  gtk_widget_show_all(dialog);
  const bool accepted = gimp_dialog_run(GIMP_DIALOG(dialog)) == GTK_RESPONSE_OK;
  if (accepted) {
    const gint chosen = gtk_combo_box_get_active(GTK_COMBO_BOX(modes));
    g_strlcpy(settings->mode, chosen >= 0 && chosen < 3 ? names[first + chosen] : "",
              sizeof settings->mode);
    settings->level = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(level));
  }
  gtk_widget_destroy(dialog);
  return accepted;
}

// Answers the procedure: its status, the image when a load succeeded, and GIMP's error
// message (shown by GIMP, printed by its batch mode) when it failed.
void Answer(GimpPDBStatusType status, const std::string& message, gint32 image, gint* count,
            GimpParam** results) {
  static GimpParam answer[2];
  static std::string kept_message;
  answer[0].type = GIMP_PDB_STATUS;
  answer[0].data.d_status = status;
  *count = 1;
  if (status == GIMP_PDB_SUCCESS && image != -1) {
    answer[1].type = GIMP_PDB_IMAGE;
    answer[1].data.d_image = image;
    *count = 2;
  } else if (status != GIMP_PDB_SUCCESS && !message.empty()) {
    kept_message = "brask: " + message;
    answer[1].type = GIMP_PDB_STRING;
    answer[1].data.d_string = const_cast<gchar*>(kept_message.c_str());
    *count = 2;
  }
  *results = answer;
}

void RunUnguarded(const gchar* name, gint argument_count, const GimpParam* arguments, gint* count,
                  GimpParam** results) {
  gegl_init(nullptr, nullptr);
  const bool load = std::strcmp(name, kG00Load) == 0 || std::strcmp(name, kPdtLoad) == 0;
  const bool g00 = std::strcmp(name, kG00Load) == 0 || std::strcmp(name, kG00Export) == 0;
  std::string why;
  if (load) {
    if (argument_count < 2 || arguments[1].data.d_string == nullptr) {
      Answer(GIMP_PDB_CALLING_ERROR, "no file named", -1, count, results);
      return;
    }
    const gint32 image = brask_gimp::LoadPicture(arguments[1].data.d_string, &why);
    Answer(image != -1 ? GIMP_PDB_SUCCESS : GIMP_PDB_EXECUTION_ERROR, why, image, count, results);
    return;
  }
  if (argument_count < 5 || arguments[3].data.d_string == nullptr) {
    Answer(GIMP_PDB_CALLING_ERROR, "no file named", -1, count, results);
    return;
  }
  const brask_gimp::FileKind kind = g00 ? brask_gimp::FileKind::kG00 : brask_gimp::FileKind::kPdt;
  const gint32 image = arguments[1].data.d_image;
  ExportSettings settings{};
  settings.level = BRASK_ENCODE_DEFAULT_LEVEL;
  const GimpRunMode run_mode = static_cast<GimpRunMode>(arguments[0].data.d_int32);
  if (run_mode == GIMP_RUN_NONINTERACTIVE) {
    if (argument_count >= 6 && arguments[5].data.d_string != nullptr) {
      g_strlcpy(settings.mode, arguments[5].data.d_string, sizeof settings.mode);
    }
    if (argument_count >= 7) settings.level = arguments[6].data.d_int32;
  } else {
    // The image's own mode first; the last choice only where it suits this kind of file.
    const std::string suggested = brask_gimp::DefaultModeName(image, kind);
    g_strlcpy(settings.mode, suggested.c_str(), sizeof settings.mode);
    ExportSettings last{};
    if (gimp_get_data(name, &last) && last.level >= -1 && last.level <= 9) settings.level = last.level;
    if (run_mode == GIMP_RUN_INTERACTIVE && !AskExportSettings(kind, &settings)) {
      Answer(GIMP_PDB_CANCEL, "", -1, count, results);
      return;
    }
  }
  if (!brask_gimp::ExportPicture(image, kind, settings.mode, settings.level,
                                 arguments[3].data.d_string, &why)) {
    Answer(GIMP_PDB_EXECUTION_ERROR, why, -1, count, results);
    return;
  }
  if (run_mode == GIMP_RUN_INTERACTIVE) gimp_set_data(name, &settings, sizeof settings);
  Answer(GIMP_PDB_SUCCESS, "", -1, count, results);
}

void Run(const gchar* name, gint argument_count, const GimpParam* arguments, gint* count,
         GimpParam** results) {
  try {
    RunUnguarded(name, argument_count, arguments, count, results);
  } catch (const std::bad_alloc&) {
    Answer(GIMP_PDB_EXECUTION_ERROR, "out of memory", -1, count, results);
  } catch (const std::exception& error) {
    Answer(GIMP_PDB_EXECUTION_ERROR, error.what(), -1, count, results);
  } catch (...) {
    Answer(GIMP_PDB_EXECUTION_ERROR, "an unexpected failure", -1, count, results);
  }
}

}  // namespace

const GimpPlugInInfo PLUG_IN_INFO = {nullptr, nullptr, Query, Run};

MAIN()
