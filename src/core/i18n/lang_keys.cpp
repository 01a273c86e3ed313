// The message keys and the window element keys of the language file.
#include "i18n/lang_keys.h"

namespace brevane::i18n {

const std::vector<std::string_view>& messageKeys() {
  // clang-format off
  static const std::vector<std::string_view> kKeys = {
      "InputImages", "PathColumn", "NameColumn", "TypeColumn", "SizeColumn", "ImgSizeColumn",
      "FilterList", "PositionList", "Confirmation", "Information", "Error", "ExitConfirmation",
      "ClearFilelist", "FilelistEmpty", "Cancelled!", "AddDir", "SelectDir", "NoFiles",
      "DirectoryCreateError", "Progressform", "progressformPngBitBtn1CaptionCancel",
      "progressformPngBitBtn1CaptionClose", "Stopping...", "KiB", "MiB", "AllProcessed", "second",
      "UpdateReq", "Update", "UpToDate", "UpdateCheckError",
  };
  // clang-format on
  return kKeys;
}

std::string elementKey(const WindowTextKey& key) {
  std::string k = std::string(key.window) + std::string(key.component);
  if (key.part == ElementPart::kHint) k += "Hint";
  return k;
}

const std::vector<WindowTextKey>& windowTextKeys() {
  using enum ElementPart;
  static const std::vector<WindowTextKey> kKeys = [] {
    std::vector<WindowTextKey> keys;
    auto add = [&](std::string_view window, std::initializer_list<std::string_view> components, ElementPart part) {
      for (std::string_view c : components) keys.push_back({window, c, part});
    };
    // Main window.
    add(kMainWindow,
        {// Main menu: File (N1) with Add files N2, Add folder N3, Statistics N10, Exit N5; Help (N6)
         // with Help N15, Language Language1, Check for updates N126, About N4.
         "N1", "N2", "N3", "N10", "N5", "N6", "N15", "Language1", "N126", "N4",
         // File list context menu: Add files, Add folder, Delete selected, Clear list, Select all.
         "N7", "N8", "N9", "N11", "N12",
         // Text mask variables (PopupMenu2) with the Add symbol submenu.
         "Currentdate1", "Currenttime1", "Filecreationdate1", "Filecreationtime1", "Filename1", "Extension1", "Width1",
         "Height1", "Counter1", "Exifdate1", "Exiftime1", "Addsymbol1", "N25", "Registered1", "rademark1",
         // Rename mask variables (PopupMenu3).
         "NTheoriginalfilename1", "EFileextension1", "WThewidthoftheimageinpixels1", "HImageheightinpixels1",
         "Currenttime2", "DCurrentDate1", "CFilecounter1", "FCDFilecreationdate1", "FCTFilecreationtime1",
         // Buttons: Exit, Convert, output Browse, Font, Add variable (text, rename), watermark
         // Browse, Preview (hidden).
         "PngBitBtn1", "PngBitBtn2", "PngBitBtn3", "PngBitBtn4", "PngBitBtn5", "PngBitBtn6", "PngBitBtn7", "PngBitBtn8",
         // Option pages: JPG, PNG, JPEG 2000, Rename, Resize, Text, Watermark, Output settings.
         "TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4", "TabSheet5", "TabSheet6", "TabSheet7", "TabSheet8",
         "CheckBox1", "CheckBox2", "CheckBox3", "CheckBox4", "CheckBox5", "CheckBox6", "CheckBox7", "CheckBox8",
         "CheckBox9", "CheckBox10", "CheckBox11", "CheckBox12", "CheckBox14", "CheckBox15", "NoResizeRadioButton",
         "ChangeSizeRadioButton", "ChangeSizePercentRadioButton",
         // The resize page's group.
         "GroupBox2",
         // Caption labels: JPEG quality, PNG compression, JPEG 2000 quality, output folder, output
         // format, threads, rename mask, counter digits, width, height, filter, preset sizes, text
         // mask, text position, opacity, watermark image, watermark position.
         "Label1", "Label2", "Label20", "Label5", "Label6", "Label7", "Label8", "Label9", "Label10", "Label11",
         "Label13", "Label14", "Label15", "Label16", "Label22", "Label23", "Label24",
         // The add-files dialog's title.
         "OpenDialog1",
         // Pages of the later writers: WebP (quality Label26 with value Label27 on TrackBar4,
         // Lossless CheckBox16), AVIF (quality Label28/Label29 on TrackBar5, speed Label30/Label31
         // on TrackBar6, the speed hint on Label30), JPEG XL (quality Label32/Label33 on TrackBar7, Lossless
         // CheckBox17).
         "TabSheet9", "TabSheet10", "TabSheet11", "Label26", "CheckBox16", "Label28", "Label30", "Label32",
         "CheckBox17",
         // The photos page: orientation, colour profile, private metadata.
         "TabSheetPhotos", "AutoRotateCheckBox", "KeepIccCheckBox", "ConvertSrgbCheckBox", "StripPrivateCheckBox",
         "StripMetadataCheckBox"},
        kCaption);
    add(kMainWindow,
        {// Tool bar: Add folder, Add files, Delete selected, Convert.
         "ToolButton1", "ToolButton3", "ToolButton4", "ToolButton6", "CheckBox2", "CheckBox3", "CheckBox7", "CheckBox8",
         // Samples and the aspect ratio.
         "Label17", "Label25", "Label19", "SpinEdit1", "SpinEdit2", "SpinEdit3", "SpinEdit4", "SpinEdit5", "SpinEdit6",
         // The caption of the AVIF speed slider (the slider shows the caption's hint).
         "Label30",
         // The photos page's boxes.
         "AutoRotateCheckBox", "KeepIccCheckBox", "ConvertSrgbCheckBox", "StripPrivateCheckBox",
         "StripMetadataCheckBox"},
        kHint);
    // The Files page: Unique names, Keep folders, the JPEG size limit.
    add(kMainWindow, {"TabSheet20", "CheckBox20", "CheckBox21", "Label40"}, kCaption);
    add(kMainWindow, {"CheckBox20", "CheckBox21", "SpinEdit20"}, kHint);
    // Progress window: captions of files, time, input size, output size, threads; Open folder,
    // Cancel.
    add(kProgressWindow, {""}, kTitle);
    add(kProgressWindow, {"Label3", "Label9", "Label5", "Label7", "Label1", "PngBitBtn2", "PngBitBtn1"}, kCaption);
    // Statistics dialog.
    add(kStatisticsWindow, {""}, kTitle);
    add(kStatisticsWindow, {"GroupBox1", "Label1", "Label3", "PngBitBtn1"}, kCaption);
    // About dialog: version and build date captions, web-site link, Close.
    add(kAboutWindow, {""}, kTitle);
    add(kAboutWindow, {"Label1", "Label3", "Label6", "PngBitBtn1"}, kCaption);
    add(kAboutWindow, {"Label6"}, kHint);
    return keys;
  }();
  return kKeys;
}

}  // namespace brevane::i18n
