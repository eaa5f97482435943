#pragma once
// The editor pages this library provides, installed into the main view's editor host.
// Kinds without a page here get the host's blank page.
namespace dsptune {

class EditorHost;

// Makes the host create MicMusicPage for kind 313, EffectsEqPage for kind 421, OutputPage
// for kind 385 (each on the channel it is asked for), CompressorPage for kind 346, SurroundPage for
// kind 334 and RecordOutputPage for kind 522; the pages' channel changes become
// the host's remembered channels, and their page buttons replace them.
void InstallEditorPages(EditorHost& host);

}  // namespace dsptune
