#pragma once

// A skin with every control the program's windows use, at the main window's size.
// Shared by the UI tests and the frame benchmark.
inline constexpr const wchar_t* kAllControlsSkin = LR"(<Window size="1000,640">
  <Font id="0" name="Noto Sans" size="13" default="true"/>
  <Font id="1" name="Noto Sans" size="18" bold="true"/>
  <Font id="2" name="Noto Sans" size="14" underline="true"/>
  <Style name="row_label" value="textcolor=&quot;#FFE0E0E0&quot; width=&quot;120&quot;"/>
  <VerticalLayout name="root" bkcolor="#FF1B1F24" inset="10,10,10,10" childpadding="8">
    <HorizontalLayout name="caption" height="32" childpadding="6" childvalign="vcenter">
      <Label name="title" text="Halvek &#x4E2D;&#x6587; &#x0E44;&#x0E17;&#x0E22;" font="1" textcolor="#FFFFFFFF"/>
      <Button name="minbtn" width="28" height="28" text="-" bkcolor="#FF2A3038" textcolor="#FFFFFFFF"/>
      <Button name="closebtn" width="28" height="28" text="x" bkcolor="#FFC42B1C" textcolor="#FFFFFFFF"
              tooltip="Close the window" tooltiptitle="Close"/>
    </HorizontalLayout>
    <HorizontalLayout height="32" childpadding="6">
      <Option name="tab_light" text="Light" group="pages" selected="true" bindtabindex="0" bindtablayoutname="pages"
              width="100" bkcolor="#FF2A3038" selectedbkcolor="#FF0099FF" textcolor="#FFFFFFFF"/>
      <Option name="tab_keys" text="Keys" group="pages" bindtabindex="1" bindtablayoutname="pages"
              width="100" bkcolor="#FF2A3038" selectedbkcolor="#FF0099FF" textcolor="#FFFFFFFF"/>
      <Option name="tab_macro" text="Macro" group="pages" bindtabindex="2" bindtablayoutname="pages"
              width="100" bkcolor="#FF2A3038" selectedbkcolor="#FF0099FF" textcolor="#FFFFFFFF"/>
      <CheckBox name="deng_7color_check" text="7 colours" width="110" bkcolor="#FF2A3038"
                selectedbkcolor="#FF33CC66" textcolor="#FFFFFFFF"/>
      <Control/>
      <Progress name="setting_progress" width="200" height="10" padding="0,11,0,11" value="35"
                bkcolor="#FF2A3038" forecolor="#FF0099FF"/>
    </HorizontalLayout>
    <TabLayout name="pages">
      <HorizontalLayout name="light_page" childpadding="12">
        <VerticalLayout width="420" childpadding="8">
          <HorizontalLayout height="26" childpadding="6">
            <Label text="Mode" style="row_label"/>
            <Combo name="light_combo_modeSelect" width="200" dropboxsize="0,200">
              <ListLabelElement text="Static" height="26"/>
              <ListLabelElement text="Breathing" height="26"/>
              <ListLabelElement name="hidden_mode" text="Hidden" height="26" visible="false"/>
              <ListLabelElement text="Wave" height="26"/>
            </Combo>
          </HorizontalLayout>
          <HorizontalLayout height="24" childpadding="6">
            <Label text="Brightness" style="row_label"/>
            <Slider name="deng_light_slider" width="200" min="0" max="4" value="2" sendmove="true"
                    bkcolor="#FF2A3038" forecolor="#FF0099FF" thumbcolor="#FFFFFFFF"/>
          </HorizontalLayout>
          <HorizontalLayout height="26" childpadding="6">
            <Label text="R / G / B" style="row_label"/>
            <Edit name="deng_edit_R" width="60" numberonly="true" maxchar="3" minvalue="0" maxvalue="255" text="255"/>
            <Edit name="deng_edit_G" width="60" numberonly="true" maxchar="3" minvalue="0" maxvalue="255" text="0"/>
            <Edit name="deng_edit_B" width="60" numberonly="true" maxchar="3" minvalue="0" maxvalue="255" text="0"/>
          </HorizontalLayout>
          <ColorPalette name="deng_Color_Pallet" height="160" barheight="12" selectcolor="#FFFF0000"/>
          <HorizontalLayout height="24" childpadding="4">
            <Button name="color_option_0" width="24" bkcolor="#FFFF0000"/>
            <Button name="color_option_1" width="24" bkcolor="#FF00FF00"/>
            <Button name="color_option_2" width="24" bkcolor="#FF0000FF"/>
            <Button name="color_option_3" width="24" bkcolor="#FFFFFFFF"/>
          </HorizontalLayout>
        </VerticalLayout>
        <VerticalLayout childpadding="8">
          <Label name="text_test" resourcetext="true" visible="false"/>
          <Label name="info" text="Underlined text in font 2" font="2" textcolor="#FF8A949E" height="24"/>
          <RichEdit name="repeat_input_richedit" height="80" tipvalue="Type here to try the repeat rate"/>
          <Label name="wrapped" height="60" wordbreak="true" textcolor="#FFD0D6DC"
                 text="A longer text that wraps over several lines inside its label, as the message window does."/>
        </VerticalLayout>
      </HorizontalLayout>
      <VerticalLayout name="keys_page">
        <Label text="Keys" textcolor="#FFFFFFFF" height="30"/>
      </VerticalLayout>
      <HorizontalLayout name="macro_page" childpadding="10">
        <List name="macro_name_list" width="240" bkcolor="#FF22272E" itemtextcolor="#FFE0E0E0"
              itemselectedbkcolor="#FF0099FF" itemhotbkcolor="#FF2A3038">
          <ListLabelElement text="Macro 1" height="30"/>
          <ListLabelElement text="Macro 2" height="30"/>
          <ListLabelElement text="Macro 3" height="30"/>
        </List>
        <List name="macro_action_list" bkcolor="#FF22272E">
          <ListContainerElement name="macro_action" height="30" childvalign="vcenter">
            <Label text="Key A" width="120" textcolor="#FFE0E0E0"/>
            <Label text="down" width="80" textcolor="#FFE0E0E0"/>
            <Edit name="macro_delay" width="80" height="25" numberonly="true" maxvalue="65535" text="50"/>
          </ListContainerElement>
        </List>
      </HorizontalLayout>
    </TabLayout>
  </VerticalLayout>
</Window>)";
