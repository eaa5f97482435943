#pragma once
// The band editor's captions of the pages with a short band list (the effects EQ and the
// record EQ): "Gain", "F", "Q" and the "EQ Type" group. The editor's own, longer names
// suit the pages with many bands.
namespace dsptune {

class EqBandEditor;

// Renames the captions in the current language; call after EqBandEditor::ApplyTexts.
void ApplyShortBandCaptions(EqBandEditor& editor);

}  // namespace dsptune
