#include "wizard/WizardSteps.h"

#include "log/Log.h"
#include "sys/FolderDialog.h"

#include <optional>

namespace kw {

StepLook LookOfStep(int step) {
    StepLook look;
    switch (step) {
    case 1:
        look.title = "Stap 1 van 4 - Locatie van Vondelux bepalen.";
        look.help = "In deze stap wordt de locatie van Vondelux bepaald. Als de gevonden locatie "
                    "onjuist of als de juiste locatie niet gevonden is, drukt u op "
                    "'Wijzigen...' om de juiste locatie op te geven";
        break;
    case 2:
        look.title = "Stap 2 van 4 - Controleren van Vondelux.";
        look.help = "In deze stap wordt gecontroleerd of Vondelux bijgewerkt kan worden en of er "
                    "voldoende schijfruimte is.";
        break;
    case 3:
        look.title = "Stap 3 van 4 - Bijwerken van Vondelux.";
        look.help = "De bestanden worden aangemaakt en de administratie van Vondelux wordt "
                    "bijgewerkt.";
        break;
    default:
        look.title = "Stap 4 van 4 - Afronden - overzicht van toegevoegde pictogrammen.";
        look.help = "Het bijwerken van Vondelux is voltooid. Er is een log geschreven van de "
                    "genomen acties. Deze kunt u, tesamen met het bijwerkprogramma, verwijderen. "
                    "Veel plezier met de nieuwe pictogrammen!";
        break;
    }
    look.nextCaption = step < 4 ? "Naar stap " + std::to_string(step + 1) : "Afsluiten";
    // Row 0 stays shown in step 4, under the list that covers it.
    look.rowVisible = {true, step == 2 || step == 3};
    look.browseVisible = step == 1;
    look.listVisible = step == 4;
    return look;
}

WizardSteps::WizardSteps(WizardView& view, StepRows& rows, ListBox& list)
    : view_(view), rows_(rows), list_(list) {
    rows_.window = this;
}

void WizardSteps::Start() {
    GoToStep(+1);
}

void WizardSteps::ProcessEvents() {
    view_.ProcessEvents();
}

void WizardSteps::WindowClosed() {
    // Work in progress sees the flag at its next event pass, ends through its failure road and
    // closes the database; the program ends once the press that runs it returns.
    closeRequested_ = true;
}

void WizardSteps::NextPressed() {
    // A press that waited in the queue while a step was entered would skip that step's checks.
    if (stepRunning_ || closeRequested_)
        return;
    if (currentStep_ == 4) {
        gLog->printf("Succesvol afgesloten.");
        view_.CloseWindow();
    }
    GoToStep(+1);
}

void WizardSteps::BrowsePressed() {
    if (stepRunning_ || currentStep_ != 1)
        return;
    const std::string folder = BrowseForFolder(shownFolder_);
    if (folder.empty())
        return;
    const bool holds = ChooseInstallation(folder, rows_);
    if (holds)
        installFolder_ = folder;
    shownFolder_ = holds ? folder : std::string();
    view_.EnableNext(holds);
}

void WizardSteps::GoToStep(std::int16_t delta) {
    const int n = currentStep_ + delta;
    if (n < 1 || n > 4)
        return;
    stepRunning_ = true;
    currentStep_ = static_cast<std::int16_t>(n);
    gLog->printf("Beginnen met stap " + std::to_string(n) + ".");
    view_.ShowStep(LookOfStep(n));
    view_.EnableNext(true);
    // Paint the new step before its work begins.
    view_.ProcessEvents();
    if (!closeRequested_)
        RunStep(n);
    stepRunning_ = false;
}

void WizardSteps::RunStep(int step) {
    switch (step) {
    case 1: {
        const std::optional<std::string> found = LocateInstallation(rows_, !locationDone_);
        if (!found)
            return;
        installFolder_ = *found;
        shownFolder_ = installFolder_;
        view_.EnableNext(!installFolder_.empty());
        locationDone_ = true;
        return;
    }
    // Steps 2 and 3 keep Next disabled while they work: their event passes must not let a
    // press start anything.
    case 2:
        view_.EnableNext(false);
        view_.EnableNext(CheckInstallation(installFolder_, rows_));
        return;
    case 3:
        view_.EnableNext(false);
        view_.EnableNext(UpdateInstallation(installFolder_, rows_));
        return;
    default:
        ListAddedPictograms(installFolder_, list_);
        return;
    }
}

} // namespace kw
