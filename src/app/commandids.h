// Command ids of the menus, tool bars and accelerators.
#pragma once

namespace cmd {
constexpr int FileNew = 57600;
constexpr int FileOpen = 57601;
constexpr int FileSave = 57603;
constexpr int FileSaveAs = 57604;
constexpr int FilePrintSetup = 57606;
constexpr int FilePrint = 57607;
constexpr int FilePrintPreview = 57609;
constexpr int FileMruFirst = 57616;
constexpr int EditCopy = 57634;
constexpr int EditCut = 57635;
constexpr int EditPaste = 57637;
constexpr int EditUndo = 57643;
constexpr int EditRedo = 57644;
constexpr int EditSelectAll = 57642;
constexpr int AppAbout = 57664;
constexpr int AppExit = 57665;
constexpr int ViewToolBar = 59392;
constexpr int ViewStatusBar = 59393;
constexpr int ViewMidiBar = 134;
constexpr int Environment = 32771;
constexpr int MidiPlay = 32772;
constexpr int MidiStop = 32773;
constexpr int MidiRecord = 32774;
constexpr int PianoInput = 32775;
constexpr int FileExportMidi = 32776;
constexpr int FileImportMidi = 32777;
constexpr int FileExportAudio = 32778;
constexpr int MidiPlayFromCursor = 32779;
constexpr int MidiAudition = 32780;
constexpr int EditExtendUp = 32781;
constexpr int EditExtendDown = 32782;
constexpr int FileExportMusicXml = 32790;
constexpr int FileImportMusicXml = 32791;
constexpr int EditInsertEvent = 32792;
constexpr int EditTempo = 32793;
constexpr int EditTitle = 32794;
constexpr int FileExportAbc = 32795;
constexpr int FileImportAbc = 32796;
constexpr int EditCopyAsAbc = 32797;
constexpr int EditSongMusic = 32800;
} // namespace cmd

constexpr int kRecentFileCount = 4;
