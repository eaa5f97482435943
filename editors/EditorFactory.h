#pragma once
// The editor pages this library provides, installed into the main view's editor host.
// Kinds without a page here get the host's blank page.
namespace dsptune {

class EditorHost;

// Makes the host create CDialogMusic for kind 313, CDialogEfx for kind 421, CDialogOutput
// for kind 385 (each on the channel it is asked for), CCompDlg for kind 346, CSSVCDlg for
// kind 334 and CDialogRec for kind 522; the pages' channel changes become
// the host's remembered channels, and their page buttons replace them.
void InstallEditorPages(EditorHost& host);

}  // namespace dsptune
