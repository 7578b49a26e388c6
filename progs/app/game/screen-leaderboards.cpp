// The leaderboards screen. See screen-leaderboards.h.
#include "screen-leaderboards.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "localization.h"
#include "manager.h"
#include "services/service-text.h"
#include "ui/screen-manager.h"
#include "ui/ui-comps.h"
#include "ui/ui-touchfield.h"
#include "ui/ui-widgets.h"

ScreenLeaderboards screen_Leaderboards;

bool ScreenLeaderboards::PreLoad() {
    LoadUI("ui/fw/leaderboards.lua");
    definitions = dman.GetDatabase(LeaderboardsManager::kDefinitionsFile);
    categories = definitions ? definitions->GetArray("CATEGORIES") : nullptr;
    if (!categories || categories->GetSize() < 1) return false;
    for (int i = 0; i < categories->GetSize(); i++) loc_man.Localize(categories->GetNodeValue(i, "display_name"));
    SetCategory(categories->GetNode(0)->GetId());
    return true;
}

bool ScreenLeaderboards::Shown(DMNode* node) const {
    return Manager::GetParms()->developer_mode || !ServiceHasWord(node->GetValue("tags"), "DEVELOPER");
}

int ScreenLeaderboards::NumberShown() const {
    int n = 0;
    for (int i = 0; categories && i < categories->GetSize(); i++) n += Shown(categories->GetNode(i));
    return n;
}

const char* ScreenLeaderboards::ShownId(int index) const {
    for (int i = 0; categories && i < categories->GetSize(); i++) {
        DMNode* node = categories->GetNode(i);
        if (Shown(node) && index-- == 0) return node->GetId();
    }
    return nullptr;
}

int ScreenLeaderboards::CurrentIndex() const {
    if (!client) return -1;
    for (int i = 0; i < NumberShown(); i++) {
        const char* id = ShownId(i);
        if (id && strcmp(id, client->GetCategory()) == 0) return i;
    }
    return -1;
}

void ScreenLeaderboards::SetCategory(const char* category) {
    kd->Printf("Setting Leaderboards Category '%s'\n", category ? category : "");
    if (Manager::GetParms()->developer_mode && (!categories || !category || !categories->GetNode(category)))
        kd->Popupf(1, "ScreenLeaderboards::SetCategory - category '%s' does not exist in leaderboards.xml.",
                   category ? category : "");
    client = leaderboards_man.GetLeaderboardsForCategory(category ? category : "UNKNOWN");
    const char* title = categories ? categories->GetNodeValue(client->GetCategory(), "display_name") : nullptr;
    sman.SetText(GetComp("CategoryTitle"), "%s", loc_man.Localize(title ? title : ""));
    client->Download(1, 100, 16777215);
}

void ScreenLeaderboards::Draw(float) {
    DrawUI();
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

void ScreenLeaderboards::DrawUIComp(UIComp* comp) {
    if (comp && comp->name && strcmp(comp->name, "Scores") == 0) DrawScores(comp);
}

void ScreenLeaderboards::Update(float dt) {
    Screen::Update(dt);
    UIComp* next_button = GetComp("NextCategory");
    UIComp* prev_button = GetComp("PrevCategory");
    if (!next_button || !prev_button) return;
    int at = CurrentIndex();
    prev_button->fading = at < 1;
    next_button->fading = at >= NumberShown() - 1;
}

// Rows of rank, name and points, each (font height - 2) high at the
// component's scale; only those that reach into the view are drawn.
void ScreenLeaderboards::DrawScores(UIComp* comp) {
    float s = comp->GetDynamicScale();
    vec2_t at = comp->GetAlignedPos();
    float w = comp->width;
    kd->SetAlpha(comp->GetStaticAlpha());
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
    float view_top = 0, view_height = (float)Manager::GetParms()->height;
    UIComp* scissor = GetComp("Scissor");
    if (scissor) {
        vec2_t p = scissor->GetAlignedPos();
        kd->SetScissorRect((int)p.x, (int)p.y, (int)scissor->width, (int)scissor->height);
        view_top = p.y;
        view_height = scissor->height;
    }
    kd_font_t* font = sman.default_font;
    float h = font ? kd->GetTextHeightf(font, "TEST") : 0;
    float row = s * (h - 2);
    kd->SetTextTransform(s, s, 0);
    int n = client ? client->GetNumberOfScores() : 0;
    // The widest points of the rows set where the names must end.
    float points_width = 0;
    for (int i = 0; font && i < n; i++)
        if (LeaderboardScore* e = client->GetScoreByIndex(i))
            points_width = fmaxf(points_width, kd->GetTextWidthf(font, "%d", e->points));
    const float name_x = at.x + (float)(int)(s * w * 0.15f);
    const float name_room = at.x + w - points_width - 20 * s - name_x;
    for (int i = 0; font && i < n; i++) {
        float top = at.y + (float)i * row;
        LeaderboardScore* e = client->GetScoreByIndex(i);
        if (!e || !(top > view_top - row && top < view_top + view_height)) continue;
        kd->SetTextAlign(0);
        kd->DrawTextf(font, at.x, top, "%d.", e->rank);
        UIDrawFittedText(font, name_x, top, name_room, s, e->player);
        kd->SetTextAlign(1);
        kd->DrawTextf(font, at.x + w, top, "%d", e->points);
    }
    // An empty table says so, in the middle of the view.
    if (font && n == 0) {
        kd->SetTextAlign(12);
        kd->SetAlpha(0.8f * comp->GetStaticAlpha());
        kd->DrawTextf(font, at.x + w * 0.5f, view_top + view_height * 0.4f, "%s", loc_man.Localize("NO_SCORES_YET"));
    }
    UIComp* tf = GetComp("TF");
    if (tf && tf->type == UI_TOUCHFIELD) ((UICompTouchField*)tf)->SetContentHeight((h - 2) * (float)n);
    kd->DisableScissorRect();
    kd->SetTextAlign(0);
    kd->SetTextTransform(1, 1, 0);
    kd->SetAlpha(1);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
}

int ScreenLeaderboards::ProcessUICompClick(UIComp* comp, int) {
    const char* comp_name = comp && comp->name ? comp->name : "";
    int at = CurrentIndex();
    if (strcmp(comp_name, "NextCategory") == 0 && at >= 0 && at < NumberShown() - 1) {
        SetCategory(ShownId(at + 1));
    } else if (strcmp(comp_name, "PrevCategory") == 0 && at > 0) {
        SetCategory(ShownId(at - 1));
    } else if (strcmp(comp_name, "Download") == 0 && client) {
        client->Download(1, 10, 16777215);
    } else if (strcmp(comp_name, "Submit50") == 0) {
        client = leaderboards_man.GetLeaderboardsForCategory("TEST_CATEGORY");
        for (int i = 0; i < 50; i++) leaderboards_man.SubmitScore("TEST_CATEGORY", rand() % 200000, 1000);
    }
    return 1;
}

int ScreenLeaderboards::ProcessScreenMessage(Screen*, const char* message, const char* value) {
    if (!message || strcmp(message, "SetCategory") != 0) return 0;
    SetCategory(value);
    return 1;
}
