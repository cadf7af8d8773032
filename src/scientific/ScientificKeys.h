// SPDX-License-Identifier: GPL-3.0-or-later
// The keys of the enhanced view's scientific panel: angle modes, the nine
// trigonometric keys, logarithms, powers, roots, π, n! and F-E. They work on
// the calculator engine's state. Pure C++, no Qt.
#pragma once

#include "engine/CalculatorEngine.h"
#include "script/ScriptEvaluator.h"

namespace tallyvox {

enum class AngleMode { Degrees, Radians, Grads };

// Tags of the nine function keys of SpbcOsClick.
enum TrigTag { TagSin = 0, TagCos, TagTan, TagSinh, TagCosh, TagTanh, TagAsin, TagAcos, TagAtan };

// π as the 80-bit constant 4000:C90FDAA22168C235.
Extended Pi();

class ScientificKeys {
public:
    ScientificKeys(CalculatorEngine &engine, ScriptEvaluator &script);

    // The checked angle radio button. Starts at degrees, no cue.
    AngleMode Angle() const { return angle_; }

    // The cue that names the angle unit ("角度制").
    static const char *AngleCue(AngleMode mode);

    // The unit kept from the last run, set without a cue.
    void RestoreAngle(AngleMode mode) { angle_ = mode; }

    // Radio handlers; choosing the checked mode again does nothing.
    void RadAngleClick();
    void RadRadianClick();
    void RadGradsClick();

    void SpbcOsClick(int tag);
    void SpbIntClick();
    void SpbLnClick();
    void SpbLogClick();
    void SpbNJCClick();
    void SpbPaiClick();
    // Tag 0 square, 1 cube, 7 starts the power operator.
    void SpbXPFClick(int tag);
    void SpbtenxFClick();
    // Tag 6 cube root, 8 starts the root operator.
    void SpbxKLFClick(int tag);
    void SpbExpClick();
    // The F-E toggle; afterwards the key is down exactly while
    // engine.ExponentDisplay is true.
    void SpbPEClick();

    // Runs the handler of any key of the key table: the scientific panel's
    // here, the keypad's in the engine. The expression key does nothing here.
    void Press(const KeyDef &key);

private:
    void SelectAngle(AngleMode mode, const char *cue);
    void ScriptKey(const char *cue, const KeyDef *key, const std::string &statement, Extended (*exact)(Extended));

    CalculatorEngine &engine_;
    ScriptEvaluator &script_;
    AngleMode angle_ = AngleMode::Degrees;
};

} // namespace tallyvox
