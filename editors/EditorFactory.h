#pragma once
// The editor pages this library provides, installed into the main view's editor host.
// Kinds without a page here get the host's blank page.
namespace dsptune {

class EditorHost;

// Makes the host create CDialogMusic for kind 313 and CDialogOutput for kind 385 (on the
// channel it is asked for); the pages' channel changes become the host's remembered
// channels.
void InstallEditorPages(EditorHost& host);

}  // namespace dsptune
