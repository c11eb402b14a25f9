//
// Normal map: T20 derives it from the height map, T10 draws a grid whose
// vertex normals were computed on the CPU.
//

float fInvMapWidth = 0.002f;     // 1 / map width; the generator sets it
float fInvMapHeight = 0.002f;    // 1 / map height; the generator sets it
float fScale = 2.5f;             // distance of the height samples, in texels
float fNormalStrength = 1.0f;    // steepens (> 1) or flattens (< 1) the slopes

texture HeightMap;

// Mirrored so that the border texels see a continuous surface.
sampler sHeightMap = sampler_state
{
    Texture = <HeightMap>;
    MinFilter = Linear;
    MagFilter = Linear;
    MipFilter = Linear;
    AddressU = Mirror;
    AddressV = Mirror;
};

struct VS_OUTPUT_NORMALMAP
{
    float4 Position : POSITION;
    float2 Centre   : TEXCOORD0;
    float2 Left     : TEXCOORD1;
    float2 Up       : TEXCOORD2;
    float2 Right    : TEXCOORD3;
    float2 Down     : TEXCOORD4;
};

struct VS_OUTPUT_GRIDNORMAL
{
    float4 Position : POSITION;
    float4 Color    : COLOR0;
};

float4 TargetPosition(float2 TexCoord)
{
    return float4(TexCoord.x * 2.0f - 1.0f, 1.0f - TexCoord.y * 2.0f, 1.0f, 1.0f);
}

VS_OUTPUT_NORMALMAP NormalMapVS(float2 TexCoord : TEXCOORD0)
{
    VS_OUTPUT_NORMALMAP Out;
    float2 du = float2(fInvMapWidth * fScale, 0.0f);
    float2 dv = float2(0.0f, fInvMapHeight * fScale);
    Out.Position = TargetPosition(TexCoord);
    Out.Centre = TexCoord;
    Out.Left = TexCoord - du;
    Out.Up = TexCoord - dv;
    Out.Right = TexCoord + du;
    Out.Down = TexCoord + dv;
    return Out;
}

float4 NormalMapPS(float2 Centre : TEXCOORD0,
                   float2 Left   : TEXCOORD1,
                   float2 Up     : TEXCOORD2,
                   float2 Right  : TEXCOORD3,
                   float2 Down   : TEXCOORD4) : COLOR0
{
    float h0 = tex2D(sHeightMap, Centre).r;
    float3 d1 = float3(Left - Centre, tex2D(sHeightMap, Left).r - h0);
    float3 d2 = float3(Up - Centre, tex2D(sHeightMap, Up).r - h0);
    float3 d3 = float3(Right - Centre, tex2D(sHeightMap, Right).r - h0);
    float3 d4 = float3(Down - Centre, tex2D(sHeightMap, Down).r - h0);
    float3 n = cross(d1, d2) + cross(d2, d3) + cross(d3, d4) + cross(d4, d1);
    n = normalize(n * float3(fNormalStrength, fNormalStrength, 1.0f));
    return float4((n + 1.0f) / 2.0f, 1.0f);
}

VS_OUTPUT_GRIDNORMAL GridNormalVS(float3 Normal : NORMAL, float2 TexCoord : TEXCOORD0)
{
    VS_OUTPUT_GRIDNORMAL Out;
    Out.Position = TargetPosition(TexCoord);
    Out.Color = float4((Normal + 1.0f) * 0.5f, 1.0f);
    return Out;
}

float4 GridNormalPS(float4 Color : COLOR0) : COLOR0
{
    return Color;
}

technique T20
{
    pass P0
    {
        VertexShader = compile vs_1_1 NormalMapVS();
        PixelShader = compile ps_2_0 NormalMapPS();
    }
}

technique T10
{
    pass P0
    {
        VertexShader = compile vs_1_1 GridNormalVS();
        PixelShader = compile ps_1_1 GridNormalPS();
    }
}
