#pragma once

// What the "Choose Log Save Location" dialog decides, without the dialog: the first free default
// experiment name, the normalised folder, the path preview and when OK may close.
//
// Usage (a widget or the headless console binds its boxes to the setters):
//     CSaveLocation where;                    // name HalyxSimLog_0001 or the first free one
//     where.SetName(box.text());              // every edit
//     preview.setText(where.Preview());       // "" while name or location is empty
//     okButton.setEnabled(where.OkEnabled());
//     std::string message;
//     if (!where.Accept(message)) view.ShowMessage(message);   // OK pressed
//     log.Open(where.GetLocation(), where.GetName(), where.GetNotes(), scenarioXml);
//
// Both '/' and '\' separate folders in what the experimenter types; the normalised location
// uses '/'.

#include <string>
#include <string_view>

namespace halyx {

class CSaveLocation {
public:
    static constexpr const char* kCaption = "Choose Log Save Location";
    static constexpr const char* kFolderPickerTitle = "Choose Folder";
    static constexpr const char* kNoNameMessage =
        "You must enter a unique name for this experiment";
    static constexpr const char* kNotesLabel = "Notes:";
    static constexpr const char* kNameLabel = "Experiment Name:";
    static constexpr const char* kLocationLabel = "Location:";
    static constexpr const char* kPreviewLabel = "Logfile will be saved at:";
    // Shown under the preview while the file it names exists; an old log is never overwritten.
    static constexpr const char* kNameTakenNote = "A log of this name exists in this folder";
    // What Accept answers for a taken name: "%s exists" with the file.
    static constexpr const char* kExistsFormat = "%s exists";

    // Starts in the default log folder with its first free default name.
    CSaveLocation();
    // Starts in defaultFolder (which must end with a separator) with its first free name.
    explicit CSaveLocation(const std::string& defaultFolder);

    // "HalyxSimLog_%04d" for the smallest n from 1 whose .xml file is not in folder.
    static std::string FirstFreeName(const std::string& folder);

    // Separators made '/', runs of them collapsed to one, trailing ones removed, and exactly
    // one '/' appended.
    static std::string NormaliseLocation(std::string_view location);
    // The name without leading and trailing separators.
    static std::string TrimName(std::string_view name);

    void SetNotes(std::string notes) { m_notes = std::move(notes); }
    void SetName(std::string name) { m_name = std::move(name); }
    void SetLocation(std::string location) { m_location = std::move(location); }
    // The texts as typed.
    const std::string& Notes() const { return m_notes; }
    const std::string& Name() const { return m_name; }
    const std::string& Location() const { return m_location; }

    // The file the log will get, or "" while name or location is empty.
    std::string Preview() const;
    // A log of the previewed name is in the folder already.
    bool NameTaken() const;
    // Name and location given and the name not taken.
    bool OkEnabled() const { return HasNameAndLocation() && !NameTaken(); }

    // "...": makes sure the default folder exists and answers the folder the picker starts in.
    std::string BeginPickFolder() const;
    // The picker's answer: the location becomes folder plus a separator.
    void FolderPicked(const std::string& folder);

    // OK pressed: false with message kNoNameMessage when the name is empty (the dialog stays
    // open); false with no message when the location is empty (OK is disabled then); false with
    // kExistsFormat when the file exists; otherwise a separator is appended to the location
    // when it lacks one.
    bool Accept(std::string& message);

    std::string GetLocation() const { return NormaliseLocation(m_location); }
    std::string GetName() const { return TrimName(m_name); }
    const std::string& GetNotes() const { return m_notes; }
    const std::string& DefaultFolder() const { return m_defaultFolder; }

private:
    bool HasNameAndLocation() const { return !m_name.empty() && !m_location.empty(); }

    std::string m_defaultFolder;
    std::string m_notes;
    std::string m_name;
    std::string m_location;
};

} // namespace halyx
