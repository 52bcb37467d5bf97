// AudioEffectX: the extended opcodes of the 2.x interface (identity queries,
// speaker arrangements, capabilities, editor keys) on top of AudioEffect, the
// remaining host requests, and the speaker-arrangement helpers.
#pragma once

#include "AudioEffect.h"

class AudioEffectX : public AudioEffect
{
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
        : AudioEffect(audioMaster, numPrograms, numParams)
    {
    }

    /// Handles the extended opcodes and hands every other one to AudioEffect::dispatcher.
    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    // ---- parameters and programs ----
    virtual bool canParameterBeAutomated(VstInt32 index)
    {
        (void)index;
        return true;
    }
    virtual bool string2parameter(VstInt32 index, char* text)
    {
        (void)index;
        (void)text;
        return false;
    }
    virtual bool getParameterProperties(VstInt32 index, VstParameterProperties* p)
    {
        (void)index;
        (void)p;
        return false;
    }
    /// Name of program `index` without switching to it; true if it exists.
    virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text)
    {
        (void)category;
        (void)index;
        (void)text;
        return false;
    }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual VstInt32 beginLoadBank(void* ptr)
    {
        (void)ptr;
        return 0;
    }
    virtual VstInt32 beginLoadProgram(void* ptr)
    {
        (void)ptr;
        return 0;
    }

    // ---- connections and arrangements ----
    virtual bool getInputProperties(VstInt32 index, VstPinProperties* properties)
    {
        (void)index;
        (void)properties;
        return false;
    }
    virtual bool getOutputProperties(VstInt32 index, VstPinProperties* properties)
    {
        (void)index;
        (void)properties;
        return false;
    }
    /// The host offers arrangements; true if the effect accepts both.
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* pluginInput,
                                       VstSpeakerArrangement* pluginOutput)
    {
        (void)pluginInput;
        (void)pluginOutput;
        return false;
    }
    /// Hands the host the effect's own arrangements (the effect keeps them).
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                       VstSpeakerArrangement** pluginOutput)
    {
        (void)pluginInput;
        (void)pluginOutput;
        return false;
    }

    // ---- identity ----
    virtual VstPlugCategory getPlugCategory() { return kPlugCategUnknown; }
    virtual bool getEffectName(char* name)
    {
        (void)name;
        return false;
    }
    virtual bool getVendorString(char* text)
    {
        (void)text;
        return false;
    }
    virtual bool getProductString(char* text)
    {
        (void)text;
        return false;
    }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptr, float opt)
    {
        (void)lArg;
        (void)lArg2;
        (void)ptr;
        (void)opt;
        return 0;
    }
    /// Capability query: 1 yes, -1 no, 0 don't know.
    virtual VstInt32 canDo(char* text)
    {
        (void)text;
        return 0;
    }
    virtual VstInt32 getVstVersion() { return kVstVersion; }
    virtual VstInt32 getGetTailSize() { return 0; }

    // ---- processing control ----
    virtual VstInt32 processEvents(VstEvents* events)
    {
        (void)events;
        return 0;
    }
    virtual bool processVariableIo(VstVariableIo* varIo)
    {
        (void)varIo;
        return false;
    }
    virtual bool setBypass(bool onOff)
    {
        (void)onOff;
        return false;
    }
    virtual VstInt32 startProcess() { return 0; }
    virtual VstInt32 stopProcess() { return 0; }
    virtual bool setPanLaw(VstInt32 type, float value)
    {
        (void)type;
        (void)value;
        return false;
    }
    virtual bool setProcessPrecision(VstInt32 precision)
    {
        (void)precision;
        return false;
    }
    virtual VstInt32 setTotalSampleToProcess(VstInt32 value) { return value; }

    // ---- offline processing, MIDI programs, shells: unused by effects of this kind ----
    virtual bool offlineNotify(VstAudioFile* ptr, VstInt32 numAudioFiles, bool start)
    {
        (void)ptr;
        (void)numAudioFiles;
        (void)start;
        return false;
    }
    virtual bool offlinePrepare(VstOfflineTask* offline, VstInt32 count)
    {
        (void)offline;
        (void)count;
        return false;
    }
    virtual bool offlineRun(VstOfflineTask* offline, VstInt32 count)
    {
        (void)offline;
        (void)count;
        return false;
    }
    virtual VstInt32 getMidiProgramName(VstInt32 channel, MidiProgramName* name)
    {
        (void)channel;
        (void)name;
        return 0;
    }
    virtual VstInt32 getCurrentMidiProgram(VstInt32 channel, MidiProgramName* current)
    {
        (void)channel;
        (void)current;
        return -1;
    }
    virtual VstInt32 getMidiProgramCategory(VstInt32 channel, MidiProgramCategory* category)
    {
        (void)channel;
        (void)category;
        return 0;
    }
    virtual bool hasMidiProgramsChanged(VstInt32 channel)
    {
        (void)channel;
        return false;
    }
    virtual bool getMidiKeyName(VstInt32 channel, MidiKeyName* keyName)
    {
        (void)channel;
        (void)keyName;
        return false;
    }
    virtual VstInt32 getNextShellPlugin(char* name)
    {
        (void)name;
        return 0;
    }
    virtual VstInt32 getNumMidiInputChannels() { return 0; }
    virtual VstInt32 getNumMidiOutputChannels() { return 0; }

    // ---- further host requests ----
    /// Tells the host that inputs, outputs, delay or flags changed.
    virtual bool ioChanged();
    /// Asks the host to resize the editor window.
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);
    /// Asks the host to re-read names, displays and programs.
    virtual bool updateDisplay();
    virtual VstInt32 getInputLatency();
    virtual VstInt32 getOutputLatency();
    virtual VstInt32 getCurrentProcessLevel();
    virtual VstInt32 getAutomationState();
    /// Host capability query: 1 yes, -1 no, 0 don't know.
    virtual VstInt32 canHostDo(char* text);
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual VstInt32 getHostVendorVersion();
    virtual VstInt32 getHostLanguage();

    // ---- speaker-arrangement helpers ----
    /// Replaces *arrangement by a zero-filled record for `channels` speakers (0 to 8);
    /// false if the count does not fit or memory runs out (the old record then stays).
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 channels);
    /// Releases *arrangement and sets it to null.
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
    /// Copies one speaker; false if either pointer is null.
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    /// Makes *to a copy of `from`; false if `from` is null or holds an impossible channel count.
    /// `from` may be the very record held in *to.
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);
};
