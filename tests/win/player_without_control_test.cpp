// A player whose control cannot be created, in a program that carries none of the player's
// resource movies: every movie operation is a harmless no-op.

#include <gtest/gtest.h>

#include "qel/player/qel_flash.h"
#include "qel/player/qel_flash_collections.h"
#include "ui/application_win.h"
#include "ui/forms_win.h"

TEST(PlayerWithoutControl, DoesNothingAndRaisesNothing) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        TApplication application;
        std::vector<std::string> errors;
        application.SetErrorRecorder([&](const std::string& m) { errors.push_back(m); });
        auto* form = new TForm(nullptr);
        // Nothing is registered for the player's class in this process.
        auto* player = new TqelFlashPlayer(form);
        player->SetParent(form);
        ASSERT_TRUE(player->CreationFailed());
        ASSERT_FALSE(HasMovieResource("SETVOLUME"));

        EXPECT_NO_THROW(player->SetVolume(40));
        EXPECT_EQ(player->Volume(), 40);
        EXPECT_NO_THROW(player->SetVolumeControl(true));
        EXPECT_NO_THROW(player->ApplyVolume(10));
        EXPECT_NO_THROW(player->LoadMovieUrl(0, L"book.swf"));
        EXPECT_NO_THROW(player->LoadMovieUrl(0, L"intro.flv"));
        EXPECT_EQ(player->Movie(), L"");
        EXPECT_FALSE(player->FlvMode());
        TMemoryStream stream;
        stream.Write("FLV", 3);
        EXPECT_NO_THROW(player->LoadMovieStream(0, stream));
        EXPECT_NO_THROW(player->SetFlashVariable(L"flv.skin", L""));
        EXPECT_NO_THROW(player->SetFLVPlaybackSkin(flvsteelskin));
        EXPECT_NO_THROW(player->SetMovie(L"book.swf"));
        EXPECT_EQ(player->Movie(), L"book.swf"); // recorded, not loaded
        auto* list = new TqelFlashList(form);
        list->Flashs().AddItem();
        player->SetFlashList(list);
        EXPECT_NO_THROW(player->SetFlashIndex(0));
        EXPECT_TRUE(errors.empty());
        delete form;
    }
    CoUninitialize();
}
